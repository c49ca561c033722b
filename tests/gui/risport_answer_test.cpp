// Cutting the call manager's answer into phone records: the cases that the live tests against
// the fake call manager (risport_client_test.cpp) do not meet.
#include <gtest/gtest.h>

#include <string>

#include "manager/risport_answer.h"

namespace {

std::string Element(const char* name, const std::string& value) {
    return std::string("<") + name + " xsi:type=\"xsd:string\">" + value + "</" + name + ">";
}

std::string Device(const std::string& name, const std::string& address, const std::string& number,
                   const std::string& description) {
    return "<item xsi:type=\"ns1:CmDevice\">" + Element("Name", name) + Element("DirNumber", number) +
           "<Class xsi:type=\"ns1:DeviceClass\">Phone</Class>" + Element("Description", description) +
           "<IpAddress xsi:type=\"xsd:string\">" + address + "</IpAddress></item>";
}

struct Table {
    PhoneRecord* records = nullptr;
    int count = -1;
    ~Table() { delete[] records; }
};

bool Cut(const std::string& answer, Table* table) {
    return CutAnswerIntoRecords(answer.c_str(), &table->records, &table->count);
}

TEST(RisPortAnswer, OnlyTheExactTagsAreRecognisedAndEmptyElementsGiveEmptyFields) {
    const std::string answer =
        "<item xsi:type=\"ns1:CmDevice\"><Name xsi:type=\"xsd:string\">SEPEXACT</Name>"
        "<IpAddress xsi:type=\"xsd:token\">10.0.0.5</IpAddress>"
        "<DirNumber  xsi:type=\"xsd:string\">3001</DirNumber>"
        "<Description xsi:type=\"xsd:string\"></Description></item>"
        "<item xsi:type=\"ns1:CmDevice\" extra=\"1\">" + Element("Name", "SEPSKIPPED") + "</item>" +
        Device("", "10.0.0.6", "3002", "Nameless");
    Table table;
    ASSERT_TRUE(Cut(answer, &table));
    // The second item is not a device item by its marker; the third has no device name and
    // is no phone.
    ASSERT_EQ(table.count, 1);
    EXPECT_STREQ(table.records[0].Name, L"SEPEXACT");
    EXPECT_STREQ(table.records[0].IpAddress, L"");
    EXPECT_STREQ(table.records[0].DirNumber, L"");
    EXPECT_STREQ(table.records[0].Description, L"");
}

TEST(RisPortAnswer, ValuesLongerThanTheirFieldAreCutAtItsWidth) {
    const std::string answer = Device(std::string(300, 'N'), "10.100.100.100.100", std::string(256, '7'),
                                      "caf\xc3\xa9");
    Table table;
    ASSERT_TRUE(Cut(answer, &table));
    ASSERT_EQ(table.count, 1);
    EXPECT_EQ(std::wstring(table.records[0].Name), std::wstring(255, L'N'));
    EXPECT_EQ(std::wstring(table.records[0].IpAddress), L"10.100.100.100.");
    EXPECT_EQ(std::wstring(table.records[0].DirNumber), std::wstring(255, L'7'));
    // Each byte becomes one unit: the two UTF-8 bytes of the accent stay two units.
    EXPECT_EQ(std::wstring(table.records[0].Description), std::wstring(L"caf\u00c3\u00a9"));
}

TEST(RisPortAnswer, AnAnswerWithoutItemsGivesAnEmptyTable) {
    Table table;
    ASSERT_TRUE(Cut("<SelectCmDeviceResult><TotalDevicesFound>0</TotalDevicesFound></SelectCmDeviceResult>", &table));
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.records, nullptr);
}

TEST(RisPortAnswer, ADeviceItemWithoutItsEndIsNotFilled) {
    const std::string answer = "<item xsi:type=\"ns1:CmNode\"></item><item xsi:type=\"ns1:CmDevice\">" +
                               Element("Name", "SEPOPEN");
    Table table;
    ASSERT_TRUE(Cut(answer, &table));
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.records, nullptr);
}

}  // namespace
