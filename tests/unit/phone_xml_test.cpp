#include "service/phone_xml.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Text(const PushBody& body) { return std::string(body.text, body.length); }

}  // namespace

TEST(PhoneXmlBodies, PlainTextsGiveTheExactObjects) {
    PushBody body;
    BuildTransmitBody(&body, L"239.1.1.1", 20480);
    EXPECT_EQ(Text(body),
              "XML=<CiscoIPPhoneExecute><ExecuteItem Priority=\"0\" URL=\"RTPMTx:239.1.1.1:20480\"/>"
              "</CiscoIPPhoneExecute>\r\n");
    BuildReceiveBody(&body, L"239.1.1.1", 20480, 80);
    EXPECT_EQ(Text(body),
              "XML=<CiscoIPPhoneExecute><ExecuteItem Priority=\"0\" URL=\"RTPMRx:239.1.1.1:20480:80\"/>"
              "</CiscoIPPhoneExecute>\r\n");
    BuildMemberTextBody(&body, L"Leave the building now.");
    EXPECT_EQ(Text(body),
              "XML=<CiscoIPPhoneText><Title>EMERGENCY ALERT MESSAGE</Title><Text>Leave the building now.</Text>"
              "</CiscoIPPhoneText>");
    BuildPlayBody(&body, L"Chime.raw");
    EXPECT_EQ(Text(body),
              "XML=<CiscoIPPhoneExecute><ExecuteItem Priority=\"0\" URL=\"Play:Chime.raw\"/></CiscoIPPhoneExecute>");
    BuildTransmitStopBody(&body);
    EXPECT_EQ(Text(body),
              "XML=<CiscoIPPhoneExecute><ExecuteItem Priority=\"0\" URL=\"RTPMTx:Stop\"/></CiscoIPPhoneExecute>");
    BuildReceiveStopBody(&body);
    EXPECT_EQ(Text(body),
              "XML=<CiscoIPPhoneExecute><ExecuteItem Priority=\"0\" URL=\"RTPMRx:Stop\"/></CiscoIPPhoneExecute>");
    BuildBlankTextBody(&body);
    EXPECT_EQ(Text(body), "XML=<CiscoIPPhoneText><Title> </Title><Text> </Text></CiscoIPPhoneText>");
    BuildServicesBody(&body);
    EXPECT_EQ(Text(body), kServicesObject);
    EXPECT_EQ(body.length, 94u);
}

TEST(PhoneXmlBodies, InitiatorTextCarriesTheStopKeyForItsZone) {
    PushBody body;
    BuildInitiatorTextBody(&body, kInitiatorMessage, L"10.1.1.5", 80, L"North");
    EXPECT_EQ(Text(body),
              "XML=<CiscoIPPhoneText><Title>EMERGENCY ALERT MESSAGE</Title><Text>BROADCASTING HAS STARTED - "
              "BEGIN SPEAKING NOW.  Press the STOP key below to end broadcast.</Text><SoftKeyItem><Name>STOP"
              "</Name><URL>http://10.1.1.5/qax.xml?action=broadcast_stop%26amp%3Bzone=North</URL><Position>1"
              "</Position></SoftKeyItem></CiscoIPPhoneText>");

    // The service listens elsewhere than 80: the key must ask that port.
    BuildInitiatorTextBody(&body, kInitiatorMessage, L"10.1.1.5", 8080, L"Dock 2");
    EXPECT_NE(Text(body).find("<URL>http://10.1.1.5:8080/qax.xml?action=broadcast_stop%26amp%3Bzone=Dock 2</URL>"),
              std::string::npos)
        << Text(body);

    // A port above 65535 is bound as its low 16 bits: the key names the port that listens,
    // the same as the menu does.
    BuildInitiatorTextBody(&body, kInitiatorMessage, L"10.1.1.5", 65616, L"North");
    EXPECT_NE(Text(body).find("<URL>http://10.1.1.5/qax.xml?"), std::string::npos) << Text(body);
    BuildInitiatorTextBody(&body, kInitiatorMessage, L"10.1.1.5", 65617, L"North");
    EXPECT_NE(Text(body).find("<URL>http://10.1.1.5:81/qax.xml?"), std::string::npos) << Text(body);
}

TEST(PhoneXmlBodies, MarkupCharactersAreEscapedInEveryInsertedText) {
    PushBody body;
    BuildInitiatorTextBody(&body, L"<Fire> & \"smoke\" 'now'", L"10.1.1.5", 80, L"R&D <2>");
    EXPECT_NE(Text(body).find("<Text>&lt;Fire&gt; &amp; &quot;smoke&quot; &apos;now&apos;</Text>"), std::string::npos);
    EXPECT_NE(Text(body).find("zone=R&amp;D &lt;2&gt;</URL>"), std::string::npos) << Text(body);

    BuildMemberTextBody(&body, L"Fire & smoke");
    EXPECT_NE(Text(body).find("<Text>Fire &amp; smoke</Text>"), std::string::npos);
    BuildPlayBody(&body, L"a&b.raw");
    EXPECT_NE(Text(body).find("URL=\"Play:a&amp;b.raw\""), std::string::npos);
    BuildReceiveBody(&body, L"239.\"1", 5, 80);
    EXPECT_NE(Text(body).find("URL=\"RTPMRx:239.&quot;1:5:80\""), std::string::npos);
}

TEST(PhoneXmlBodies, CharactersBeyondEightBitsBecomeQuestionMarks) {
    PushBody body;
    BuildMemberTextBody(&body, L"\u00c4rger \u20ac");
    EXPECT_EQ(Text(body), "XML=<CiscoIPPhoneText><Title>EMERGENCY ALERT MESSAGE</Title><Text>&#196;rger ?</Text>"
                          "</CiscoIPPhoneText>");
    // Control characters that XML allows in no form would make the object unreadable; TAB,
    // LF and CR stay.
    BuildMemberTextBody(&body, L"a\x01\x1f\tb\r\n\x7f");
    EXPECT_NE(Text(body).find("<Text>a??\tb\r\n\x7f</Text>"), std::string::npos) << Text(body);
}

TEST(PhoneXmlBodies, LongestEscapedTextsFitWhole) {
    const std::wstring longest(kMaxInsertedChars, L'"');
    PushBody body;
    BuildInitiatorTextBody(&body, longest.c_str(), longest.c_str(), 65535, longest.c_str());
    const std::string text = Text(body);
    EXPECT_EQ(body.length, kPushBodyCapacity - 1);
    EXPECT_EQ(text.size(), body.length);
    EXPECT_EQ(body.text[body.length], 0);
    const std::string tail = "</URL><Position>1</Position></SoftKeyItem></CiscoIPPhoneText>";
    ASSERT_GT(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(PhoneXmlBodies, LongerTextsAreCutAtTheFieldWidth) {
    // A text longer than any field of a job is read up to the widest field only.
    const std::wstring tooLong(kMaxInsertedChars + 40, L'x');
    PushBody body;
    BuildPlayBody(&body, tooLong.c_str());
    EXPECT_NE(Text(body).find("Play:" + std::string(kMaxInsertedChars, 'x') + "\""), std::string::npos);
    EXPECT_LT(body.length, kPushBodyCapacity);
}
