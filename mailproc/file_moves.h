// File moves the mail processor relies on: each one either completes or leaves the source where
// it was, never follows a link at the target, and works across file systems by copying first.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/result.h"

namespace orva::mailproc {

// Replaces an existing target (a file; a link is replaced, never written through).
Status move_replacing(const std::filesystem::path& from, const std::filesystem::path& to);
// Fails with EEXIST when the target exists.
Status move_no_replace(const std::filesystem::path& from, const std::filesystem::path& to);
// Into `folder` as `name`, or "stem-1.ext" .. "stem-99.ext" when taken; the path it took.
Result<std::filesystem::path> move_to_free_name(const std::filesystem::path& from,
    const std::filesystem::path& folder, const std::string& name);

bool same_contents(const std::filesystem::path& a, const std::filesystem::path& b);

// Regular files directly in `folder`; anything else there (links, folders, devices) is removed
// without being followed.
std::vector<std::filesystem::path> plain_files_only(const std::filesystem::path& folder);
// Bytes in regular files anywhere below `folder`, links not followed.
std::uint64_t bytes_below(const std::filesystem::path& folder);

// A download is claimed by renaming it to "<name>.<pid>.claim" in its folder, so that no two
// runs work on one download; the claim is given back by renaming it again.
Result<std::filesystem::path> claim_download(const std::filesystem::path& folder, const std::string& name);
Status release_claim(const std::filesystem::path& claimed, const std::filesystem::path& folder,
    const std::string& name);
// Gives back the claims of runs that are no longer alive.
void recover_stale_claims(const std::filesystem::path& folder);

} // namespace orva::mailproc
