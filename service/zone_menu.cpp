#include "service/zone_menu.h"

#include <cwchar>

#include "common/text.h"

namespace {

constexpr char kMenuHead[] =
    "<CiscoIPPhoneMenu>\n<Title>EMERGENCY ALERT BROADCAST</Title>\n<Prompt>Select a zone from the menu.</Prompt>\n";
constexpr char kMenuTail[] = "</CiscoIPPhoneMenu>\n";

// A fixed wide field as the 8-bit text that goes into XML, escaped: one zone named with a
// raw "&" would make the phones reject the menu of every zone.
std::string XmlText(const wchar_t* field, size_t capacity) {
    return EscapeXml(NarrowLatin1(std::wstring(field, wcsnlen(field, capacity))));
}

std::string FormatMenuItem(const std::string& name, const std::string& host) {
    return "<MenuItem>\n<Name>" + name + "</Name>\n<URL>http://" + host +
           "/qax.xml?action=broadcast_start&amp;zone=" + name + "</URL>\n</MenuItem>\n";
}

}  // namespace

std::string BuildZoneMenu(const ZoneRecord* zones, int zoneCount, const wchar_t* serverIP, int serverPort) {
    // The server binds the low 16 bits of the configured port; the URLs name that port.
    const unsigned boundPort = static_cast<unsigned>(serverPort) & 0xFFFFu;
    std::string host = XmlText(serverIP, kAddressUnits);
    if (boundPort != 80) host += ":" + std::to_string(boundPort);

    std::string body = kMenuHead;
    const size_t tailLength = sizeof(kMenuTail) - 1;
    for (int i = 0; i < zoneCount; ++i) {
        std::string item = FormatMenuItem(XmlText(zones[i].name, sizeof(zones[i].name) / sizeof(wchar_t)), host);
        if (body.size() + item.size() + tailLength > kMaxMenuBytes) break;
        body += item;
    }
    body += kMenuTail;
    return body;
}
