// The contract between our programs on the session bus. Every program that talks to another
// uses these names, so they are defined here once.
//
// Window messages
//   bus name   org.orva.Window.c<class>.t<title>       one per window, owned while it exists
//              org.orva.Program.c<class>               also owned by a single-instance window
//   object     /org/orva/Window
//   interface  org.orva.Window
//     Post(u number, u word, i long)        no reply
//     Send(u number, u word, i long) -> i   the window's answer
//     Raise()                               come forward (a second instance asks this)
//     property Title s (read)
//   <class> and <title> are encoded: letters and digits stay, every other byte is "_" and two
//   upper-case hex digits ("Brek:MAIN" -> "Brek_3AMAIN", "Brek [AO-16]" -> "Brek_20_5BAO_2D16_5D").
//   A window is found by class and title through its exact name, by class alone through the
//   first name (in sorted order) with the prefix org.orva.Window.c<class>.
//
// Dynamic data exchange
//   bus name   org.orva.Data.s<service>                owned by the serving program
//   object     /org/orva/Data
//   interface  org.orva.DataServer
//     Connect(s topic) -> u conversation      error org.orva.Data.Refused
//     Disconnect(u conversation)
//     Request(u conversation, s item, s format) -> ay      error org.orva.Data.NoData
//     Poke(u conversation, s item, s format, ay data) -> b acknowledged
//     StartAdvise(u conversation, s item, s format) -> b
//     StopAdvise(u conversation, s item, s format)
//     signal Changed(u conversation, s item, s format, ay data)   sent to the conversation's client only
//     signal Closed(u conversation)                               sent to the client the server dropped
//   The server watches each client's connection: a client that ends or dies is dropped. The
//   client watches the service name: a server that ends is seen as the end of the conversation.
#pragma once

#include <string>
#include <string_view>

namespace orva::platform::dbus {

inline constexpr std::string_view window_path = "/org/orva/Window";
inline constexpr std::string_view window_interface = "org.orva.Window";
inline constexpr std::string_view data_path = "/org/orva/Data";
inline constexpr std::string_view data_interface = "org.orva.DataServer";
inline constexpr std::string_view error_refused = "org.orva.Data.Refused";
inline constexpr std::string_view error_no_data = "org.orva.Data.NoData";

std::string encode_name_element(std::string_view text);
std::string window_bus_prefix(std::string_view window_class); // ends with "."
std::string window_bus_name(std::string_view window_class, std::string_view title);
std::string program_bus_name(std::string_view window_class);
std::string data_bus_name(std::string_view service);

} // namespace orva::platform::dbus
