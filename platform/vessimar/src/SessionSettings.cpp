#include "SessionSettings.h"

#include <algorithm>
#include <cstdlib>

namespace lt = libtorrent;

namespace vessimar
{

namespace
{

constexpr int kMaxPort = 65535;
// Seconds the session waits for trackers to take the "stopped" announce at exit.
constexpr int kStopTrackerSeconds = 2;

std::string Endpoint(const std::string& address, int port)
{
    const bool ipv6 = address.find(':') != std::string::npos && address.front() != '[';
    return (ipv6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

} // namespace

lt::settings_pack ListenSettings(int port1, int port2)
{
    const int first = (port1 < 0 || port1 > kMaxPort) ? 0 : port1;
    int retries = 0;
    if (first > 0 && port2 > first)
        retries = std::min(port2, kMaxPort) - first;

    std::string interfaces;
    const char* only = std::getenv(kListenAddressVariable);
    if (only && *only)
        interfaces = Endpoint(only, first);
    else
        interfaces = Endpoint("0.0.0.0", first) + "," + Endpoint("::", first);

    lt::settings_pack pack;
    pack.set_str(lt::settings_pack::listen_interfaces, interfaces);
    pack.set_int(lt::settings_pack::max_retry_port_bind, retries);
    return pack;
}

lt::settings_pack InitialSettings(int port1, int port2)
{
    lt::settings_pack pack = ListenSettings(port1, port2);
    pack.set_bool(lt::settings_pack::enable_dht, false);
    pack.set_bool(lt::settings_pack::enable_lsd, false);
    pack.set_bool(lt::settings_pack::enable_upnp, false);
    pack.set_bool(lt::settings_pack::enable_natpmp, false);
    pack.set_int(lt::settings_pack::stop_tracker_timeout, kStopTrackerSeconds);
    // Nobody reads alerts: figures are asked for, not pushed.
    pack.set_int(lt::settings_pack::alert_mask, 0);
    return pack;
}

lt::settings_pack ProxySettings(const std::string& host, int port, const std::string& user,
                                const std::string& password)
{
    lt::settings_pack pack;
    if (host.empty())
    {
        pack.set_int(lt::settings_pack::proxy_type, lt::settings_pack::none);
        return pack;
    }
    pack.set_int(lt::settings_pack::proxy_type,
                 user.empty() ? lt::settings_pack::http : lt::settings_pack::http_pw);
    pack.set_str(lt::settings_pack::proxy_hostname, host);
    pack.set_int(lt::settings_pack::proxy_port, (port < 0 || port > kMaxPort) ? 0 : port);
    pack.set_str(lt::settings_pack::proxy_username, user);
    pack.set_str(lt::settings_pack::proxy_password, password);
    pack.set_bool(lt::settings_pack::proxy_peer_connections, true);
    pack.set_bool(lt::settings_pack::proxy_tracker_connections, true);
    return pack;
}

lt::settings_pack UploadRateSettings(int bytesPerSecond)
{
    lt::settings_pack pack;
    pack.set_int(lt::settings_pack::upload_rate_limit, std::max(bytesPerSecond, 0));
    return pack;
}

lt::settings_pack DownloadRateSettings(int bytesPerSecond)
{
    lt::settings_pack pack;
    pack.set_int(lt::settings_pack::download_rate_limit, std::max(bytesPerSecond, 0));
    return pack;
}

lt::settings_pack UploadSlotSettings(int slots)
{
    lt::settings_pack pack;
    // libtorrent reads 0 slots as "upload to nobody" and -1 as no limit.
    pack.set_int(lt::settings_pack::unchoke_slots_limit, slots > 0 ? slots : -1);
    return pack;
}

lt::settings_pack ConnectionSettings(int connections)
{
    lt::settings_pack pack;
    // 0 or less: as many as the open-file limit allows.
    pack.set_int(lt::settings_pack::connections_limit, std::max(connections, 0));
    return pack;
}

} // namespace vessimar
