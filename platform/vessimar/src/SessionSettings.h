#pragma once

#include <libtorrent/settings_pack.hpp>
#include <string>

namespace vessimar
{

// Environment variable naming the one address the engine listens on (tests set
// 127.0.0.1); unset, the engine listens on every IPv4 and IPv6 address.
inline constexpr const char* kListenAddressVariable = "VESSIMAR_LISTEN_ADDRESS";

// What the session starts with. DHT, local service discovery, UPnP and NAT-PMP
// stay off: nothing in the configuration asks for them, and they would talk to
// public routers, multicast groups and the gateway.
libtorrent::settings_pack InitialSettings(int port1, int port2);

// Listen on port1; when it is taken, try the following ports up to port2.
// A port of 0 lets the system choose one.
libtorrent::settings_pack ListenSettings(int port1, int port2);

// An HTTP proxy for peers and trackers; an empty host turns the proxy off.
libtorrent::settings_pack ProxySettings(const std::string& host, int port, const std::string& user,
                                        const std::string& password);

// Limits as the configuration holds them; 0 (or less) means no limit.
libtorrent::settings_pack UploadRateSettings(int bytesPerSecond);
libtorrent::settings_pack DownloadRateSettings(int bytesPerSecond);
libtorrent::settings_pack UploadSlotSettings(int slots);
libtorrent::settings_pack ConnectionSettings(int connections);

} // namespace vessimar
