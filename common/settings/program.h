#pragma once

namespace orva::settings {

// Which program reads: some defaults, buffer sizes and name comparisons differ between them.
enum class Program { Helmo, Brek, Tessel, Dispo, Elemix, Pixora, Tool };

} // namespace orva::settings
