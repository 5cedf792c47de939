// A scratch folder and store for the setup tests, removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/store/store.h"

namespace orva::test_support {

struct SetupScratch {
    SetupScratch()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "orva-setup-XXXXXX").string();
        dir = mkdtemp(tmpl.data());
        store_file = dir / "store.db";
    }
    ~SetupScratch()
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    platform::Store open() const { return std::move(platform::Store::open(store_file, platform::Access::ReadWrite).value()); }
    std::filesystem::path dir;
    std::filesystem::path store_file;
};

} // namespace orva::test_support
