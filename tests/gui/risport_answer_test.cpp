// Cutting the call manager's answer into phone records.
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

TEST(RisPortAnswer, EveryItemCountsAndDeviceItemsFillTheRecordsInAnswerOrder) {
    const std::string answer = "<SelectCmDeviceResult><CmNodes><item xsi:type=\"ns1:CmNode\"><CmDevices>" +
                               Device("SEP0001", "10.0.0.1", "1001", "Lobby") +
                               Device("SEP0002", "10.0.0.2", "1002", "Front &amp; back") +
                               Device("SEP0003", "10.0.0.3", "1003", "Dock") +
                               "</CmDevices><Name>cm1</Name></item></CmNodes></SelectCmDeviceResult>";
    Table table;
    ASSERT_TRUE(Cut(answer, &table));
    ASSERT_EQ(table.count, 4);
    EXPECT_STREQ(table.records[0].Name, L"SEP0001");
    EXPECT_STREQ(table.records[0].IpAddress, L"10.0.0.1");
    EXPECT_STREQ(table.records[0].DirNumber, L"1001");
    EXPECT_STREQ(table.records[0].Description, L"Lobby");
    EXPECT_STREQ(table.records[1].Description, L"Front &amp; back");  // entities stay as written
    EXPECT_STREQ(table.records[2].Name, L"SEP0003");
    EXPECT_STREQ(table.records[3].Name, L"");
    EXPECT_STREQ(table.records[3].IpAddress, L"");
    EXPECT_STREQ(table.records[3].DirNumber, L"");
    EXPECT_STREQ(table.records[3].Description, L"");
}

TEST(RisPortAnswer, AnElementMissingFromADeviceItemLeavesItsFieldEmpty) {
    const std::string withoutAddress = "<item xsi:type=\"ns1:CmDevice\">" + Element("Name", "SEPNOIP") +
                                       Element("DirNumber", "2001") + Element("Description", "Unregistered") +
                                       "</item>";
    const std::string answer = withoutAddress + Device("SEPNEXT", "10.0.0.9", "2002", "Next");
    Table table;
    ASSERT_TRUE(Cut(answer, &table));
    ASSERT_EQ(table.count, 2);
    EXPECT_STREQ(table.records[0].Name, L"SEPNOIP");
    EXPECT_STREQ(table.records[0].IpAddress, L"");  // not the next phone's address
    EXPECT_STREQ(table.records[1].IpAddress, L"10.0.0.9");
}

TEST(RisPortAnswer, OnlyTheExactTagsAreRecognisedAndEmptyElementsGiveEmptyFields) {
    const std::string answer =
        "<item xsi:type=\"ns1:CmDevice\"><Name xsi:type=\"xsd:string\"></Name>"
        "<IpAddress xsi:type=\"xsd:token\">10.0.0.5</IpAddress>"
        "<DirNumber  xsi:type=\"xsd:string\">3001</DirNumber>"
        "<Description xsi:type=\"xsd:string\">Kept</Description></item>"
        "<item xsi:type=\"ns1:CmDevice\" extra=\"1\">" + Element("Name", "SEPSKIPPED") + "</item>";
    Table table;
    ASSERT_TRUE(Cut(answer, &table));
    ASSERT_EQ(table.count, 2);
    EXPECT_STREQ(table.records[0].Name, L"");
    EXPECT_STREQ(table.records[0].IpAddress, L"");
    EXPECT_STREQ(table.records[0].DirNumber, L"");
    EXPECT_STREQ(table.records[0].Description, L"Kept");
    EXPECT_STREQ(table.records[1].Name, L"");  // not a device item by its marker
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
    ASSERT_EQ(table.count, 1);
    EXPECT_STREQ(table.records[0].Name, L"");
}

}  // namespace
