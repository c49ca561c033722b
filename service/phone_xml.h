// Every XML object that the service sends to a phone, as the 8-bit "XML=" body of a push
// (and the services object that also answers a phone's start or stop request). Inserted
// texts are narrowed to 8 bits ('?' above U+00FF) and escaped for XML (EscapeXml), since a
// phone drops an object with a raw "&" or "<", or with a byte above 0x7F in XML that declares
// no encoding; printable ASCII without & < > " ' goes in unchanged.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// The services object: the answer to a start or stop request, and the last push that clears
// a member's screen.
inline constexpr char kServicesObject[] =
    "XML=<CiscoIPPhoneExecute><ExecuteItem Priority=\"0\" URL=\"Init:Services\"/></CiscoIPPhoneExecute>";

// The title of the text objects that announce a broadcast.
inline constexpr char kAlertTitle[] = "EMERGENCY ALERT MESSAGE";
// What the initiator's screen says while it transmits.
inline constexpr wchar_t kInitiatorMessage[] =
    L"BROADCASTING HAS STARTED - BEGIN SPEAKING NOW.  Press the STOP key below to end broadcast.";

// Inserted texts are taken up to this many characters: the widest field a body draws from.
inline constexpr size_t kMaxInsertedChars = 255;
// The longest body: the initiator's text object with every inserted text at its longest and
// each character escaped to six bytes ("&quot;", "&#255;"), the server address of up to 255
// characters and a five-digit port included.
inline constexpr size_t kMaxEscapedBytes = 6 * kMaxInsertedChars;
inline constexpr size_t kPushBodyCapacity =
    sizeof("XML=<CiscoIPPhoneText><Title>EMERGENCY ALERT MESSAGE</Title><Text>") - 1 + kMaxEscapedBytes +
    sizeof("</Text><SoftKeyItem><Name>STOP</Name><URL>http://") - 1 + kMaxEscapedBytes + sizeof(":65535") - 1 +
    sizeof("/qax.xml?action=broadcast_stop%26amp%3Bzone=") - 1 + kMaxEscapedBytes +
    sizeof("</URL><Position>1</Position></SoftKeyItem></CiscoIPPhoneText>") - 1 + 1;

// A text as it goes into any XML object for a phone: up to kMaxInsertedChars characters,
// narrowed and escaped.
std::string PhoneXmlText(const wchar_t* text);

// The host of the URLs that bring a phone back to this service (the zone menu's items and the
// STOP soft key): the address, then ":port" unless the port that the service binds (the low
// 16 bits of serverPort) is 80, the port a phone assumes.
std::string ServiceUrlHost(const wchar_t* serverIP, int serverPort);

// One body, always terminated; `length` counts its bytes without the terminator.
struct PushBody {
    char text[kPushBodyCapacity];
    size_t length;
};

// "RTPMTx:<group>:<port>": the initiator transmits.
void BuildTransmitBody(PushBody* body, const wchar_t* multicastIP, DWORD port);
// "RTPMRx:<group>:<port>:<volume>": a member receives.
void BuildReceiveBody(PushBody* body, const wchar_t* multicastIP, DWORD port, int volume);
// The initiator's text with the STOP soft key, whose URL asks this service (at
// ServiceUrlHost) to stop the broadcast to zoneName.
void BuildInitiatorTextBody(PushBody* body, const wchar_t* text, const wchar_t* serverIP, int serverPort,
                            const wchar_t* zoneName);
// A member's alert text.
void BuildMemberTextBody(PushBody* body, const wchar_t* text);
// "Play:<sound>".
void BuildPlayBody(PushBody* body, const wchar_t* sound);
void BuildTransmitStopBody(PushBody* body);
void BuildReceiveStopBody(PushBody* body);
// A text object of one blank title and one blank text: clears a member's alert.
void BuildBlankTextBody(PushBody* body);
void BuildServicesBody(PushBody* body);
