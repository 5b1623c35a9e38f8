#pragma once
// Network ports: a controller behind a serial device server (ser2net, an NPort in TCP-server mode and
// the like), opened by the port component under a name instead of a device path:
//
//   tcp://HOST:PORT       raw bytes both ways ("transparent" mode)
//   rfc2217://HOST:PORT   telnet with COM-port control (RFC 2217): the line settings of the port
//                         (9600 8N1, no flow control, DTR and RTS) are sent to the server
//
// The device behaves as the core expects of a serial device (serial/SerialPlatform.h): received
// data is decoded into an input queue of the size the port asked for (what does not fit waits in the
// connection), a received-character event once per arrival, writes that wait for the connection to
// take them. A connection the server ends, resets or that times out (keep-alive) fails the device as
// a pulled adapter does, with the same message of the core.
//
// Opening connects (at most kConnectTimeout) and, for RFC 2217, waits for the server's answer to the
// request for COM-port control (at most kNegotiationTimeout). A server that answers no COM-port
// command or modem-line request is tolerated. The round trip of the connect, and of the telnet
// negotiation, is kept (SerialDevice::RoundTrip) so that reply waits can be sized from it.
//
// Threads: as SerialDevice; OpenNetworkDevice on the main thread.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "serial/SerialPlatform.h"

namespace lum {

struct NetworkPortName {
    bool rfc2217 = false;
    std::string host;
    std::uint16_t port = 0;
};

// "tcp://HOST:PORT" or "rfc2217://HOST:PORT" (scheme in any case; HOST may be "[v6 address]"),
// PORT 1..65535; nothing for any other text.
std::optional<NetworkPortName> ParseNetworkPortName(std::string_view text);
// The text begins like a network port name ("t", "tcp:/", "rfc2", "tcp://host"...): the start of
// one of the two schemes or a text with "://". Used by the port selector while the user types.
bool LooksLikeNetworkPortName(std::string_view text);

inline constexpr std::chrono::milliseconds kConnectTimeout{5000};
inline constexpr std::chrono::milliseconds kNegotiationTimeout{2000};

// Opens the network port `name`; nothing (with `failure` and `error`) when `name` is no network port
// name (NotFound), the host is unknown (NotFound) or the connection fails (Other).
std::unique_ptr<serial_os::SerialDevice> OpenNetworkDevice(const std::string& name, serial_os::OpenFailure& failure,
                                                           serial_os::OsError& error);

}  // namespace lum
