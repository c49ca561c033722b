#include "service/phone_xml.h"

#include <cstdio>
#include <string>

#include "common/text.h"

namespace {

// Appends to a body without ever passing its capacity: what does not fit is cut, and the
// body stays terminated. Sized as it is, no body of this file is ever cut.
class BodyWriter {
public:
    explicit BodyWriter(PushBody* body) : body_(body) {
        body_->length = 0;
        body_->text[0] = 0;
    }

    BodyWriter& Text(const char* text) {
        for (size_t i = 0; text[i] != 0; ++i) Byte(text[i]);
        return *this;
    }

    BodyWriter& Escaped(const wchar_t* text) { return Text(PhoneXmlText(text).c_str()); }

    BodyWriter& Number(long long value) {
        char digits[24];
        snprintf(digits, sizeof digits, "%lld", value);
        return Text(digits);
    }

private:
    void Byte(char c) {
        if (body_->length + 1 >= kPushBodyCapacity) return;
        body_->text[body_->length++] = c;
        body_->text[body_->length] = 0;
    }

    PushBody* body_;
};

constexpr char kExecuteItemHead[] = "XML=<CiscoIPPhoneExecute><ExecuteItem Priority=\"0\" URL=\"";
constexpr char kExecuteItemTail[] = "\"/></CiscoIPPhoneExecute>";
constexpr char kTextObjectHead[] = "XML=<CiscoIPPhoneText><Title>";

}  // namespace

std::string PhoneXmlText(const wchar_t* text) {
    char narrow[kMaxInsertedChars + 1];
    NarrowLatin1Into(narrow, sizeof narrow, text);
    return EscapeXml(narrow);
}

std::string ServiceUrlHost(const wchar_t* serverIP, int serverPort) {
    const unsigned boundPort = static_cast<unsigned>(serverPort) & 0xFFFFu;
    std::string host = PhoneXmlText(serverIP);
    // Without the port the phone would ask port 80, where the service does not listen.
    if (boundPort != 80) host += ":" + std::to_string(boundPort);
    return host;
}

void BuildTransmitBody(PushBody* body, const wchar_t* multicastIP, DWORD port) {
    BodyWriter(body).Text(kExecuteItemHead).Text("RTPMTx:").Escaped(multicastIP).Text(":").Number(port)
        .Text(kExecuteItemTail).Text("\r\n");
}

void BuildReceiveBody(PushBody* body, const wchar_t* multicastIP, DWORD port, int volume) {
    BodyWriter(body).Text(kExecuteItemHead).Text("RTPMRx:").Escaped(multicastIP).Text(":").Number(port)
        .Text(":").Number(volume).Text(kExecuteItemTail).Text("\r\n");
}

void BuildInitiatorTextBody(PushBody* body, const wchar_t* text, const wchar_t* serverIP, int serverPort,
                            const wchar_t* zoneName) {
    BodyWriter writer(body);
    writer.Text(kTextObjectHead).Text(kAlertTitle).Text("</Title><Text>").Escaped(text)
        .Text("</Text><SoftKeyItem><Name>STOP</Name><URL>http://").Text(ServiceUrlHost(serverIP, serverPort).c_str());
    // "%26amp%3B" is the URL's item separator as the phones expect it; the zone item ends the
    // URL, so that the stop request carries the name up to " HTTP/1".
    writer.Text("/qax.xml?action=broadcast_stop%26amp%3Bzone=").Escaped(zoneName)
        .Text("</URL><Position>1</Position></SoftKeyItem></CiscoIPPhoneText>");
}

void BuildMemberTextBody(PushBody* body, const wchar_t* text) {
    BodyWriter(body).Text(kTextObjectHead).Text(kAlertTitle).Text("</Title><Text>").Escaped(text)
        .Text("</Text></CiscoIPPhoneText>");
}

void BuildPlayBody(PushBody* body, const wchar_t* sound) {
    BodyWriter(body).Text(kExecuteItemHead).Text("Play:").Escaped(sound).Text(kExecuteItemTail);
}

void BuildTransmitStopBody(PushBody* body) {
    BodyWriter(body).Text(kExecuteItemHead).Text("RTPMTx:Stop").Text(kExecuteItemTail);
}

void BuildReceiveStopBody(PushBody* body) {
    BodyWriter(body).Text(kExecuteItemHead).Text("RTPMRx:Stop").Text(kExecuteItemTail);
}

void BuildBlankTextBody(PushBody* body) {
    BodyWriter(body).Text(kTextObjectHead).Text(" ").Text("</Title><Text>").Text(" ").Text("</Text></CiscoIPPhoneText>");
}

void BuildServicesBody(PushBody* body) { BodyWriter(body).Text(kServicesObject); }
