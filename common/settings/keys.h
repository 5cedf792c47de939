// The fixed key paths of the store, as the programs write them.
#pragma once

namespace orva::settings::keys {

inline constexpr const char* general = "SOFTWARE\\Orva\\General";
inline constexpr const char* station = "SOFTWARE\\Orva\\Station";
inline constexpr const char* helmo = "SOFTWARE\\Orva\\Helmo";
inline constexpr const char* helmo_programs = "SOFTWARE\\Orva\\Helmo\\Programs";
inline constexpr const char* helmo_events = "SOFTWARE\\Orva\\Helmo\\Events";
inline constexpr const char* satellites = "SOFTWARE\\Orva\\Satellites";
inline constexpr const char* rotator = "SOFTWARE\\Orva\\Rotator";
inline constexpr const char* transverters = "SOFTWARE\\Orva\\Transverters";
inline constexpr const char* quillet = "SOFTWARE\\Orva\\Quillet";
inline constexpr const char* dispo = "SOFTWARE\\Orva\\Dispo";
inline constexpr const char* tessel = "SOFTWARE\\Orva\\Tessel";
inline constexpr const char* brek = "SOFTWARE\\Orva\\Brek";
inline constexpr const char* pixora = "SOFTWARE\\Pixora";
// Linux only: serial device for each "COMn" port name ("COM1" = "/dev/ttyUSB0"); a port name
// that is missing here maps to the usual device of that number.
inline constexpr const char* ports = "SOFTWARE\\Orva\\Linux\\Serial Ports"; // same as platform/port_names.h
// The per-user regional settings; a Linux store keeps the one value Helmo reads here.
inline constexpr const char* international = "Control Panel\\International";

} // namespace orva::settings::keys
