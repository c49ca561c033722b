#include "service/zone_menu.h"

#include "service/phone_xml.h"

namespace {

constexpr char kMenuHead[] =
    "<CiscoIPPhoneMenu>\n<Title>EMERGENCY ALERT BROADCAST</Title>\n<Prompt>Select a zone from the menu.</Prompt>\n";
constexpr char kMenuTail[] = "</CiscoIPPhoneMenu>\n";

std::string FormatMenuItem(const std::string& name, const std::string& host) {
    return "<MenuItem>\n<Name>" + name + "</Name>\n<URL>http://" + host +
           "/qax.xml?action=broadcast_start&amp;zone=" + name + "</URL>\n</MenuItem>\n";
}

}  // namespace

std::string BuildZoneMenu(const ZoneRecord* zones, int zoneCount, const wchar_t* serverIP, int serverPort) {
    const std::string host = ServiceUrlHost(serverIP, serverPort);

    std::string body = kMenuHead;
    const size_t tailLength = sizeof(kMenuTail) - 1;
    for (int i = 0; i < zoneCount; ++i) {
        // Escaped: one zone named with a raw "&" would make the phones reject the whole menu.
        std::string item = FormatMenuItem(PhoneXmlText(zones[i].name), host);
        if (body.size() + item.size() + tailLength > kMaxMenuBytes) break;
        body += item;
    }
    body += kMenuTail;
    return body;
}
