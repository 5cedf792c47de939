#include "engine/directory/header_assembler.h"

#include "common/pfh/file_size_sniffer.h"

namespace orva::engine {

HeaderAssembler::Step HeaderAssembler::feed(const DirectoryFragment& f)
{
    if (active_ && f.file_number == file_number_ && !(f.offset == 0 && !bytes_.empty())) {
        if (f.offset != bytes_.size())
            return Step::Ignored; // repeated, or a piece in between was lost
        if (bytes_.size() + f.data.size() > kMaxDirectoryHeader) {
            active_ = false;
            bytes_.clear();
            return Step::Overflow;
        }
    } else {
        if (f.offset != 0) {
            if (f.file_number != file_number_)
                active_ = false;
            return Step::Ignored;
        }
        if (f.data.size() > kMaxDirectoryHeader) {
            active_ = false;
            file_number_ = f.file_number;
            bytes_.clear();
            return Step::Overflow;
        }
        file_number_ = f.file_number;
        active_ = true;
        bytes_.clear();
    }
    bytes_.insert(bytes_.end(), f.data.begin(), f.data.end());
    if (!f.ends_header()) {
        // Servers set the end bit only when a header fits one frame: a longer one is complete
        // once its terminating item is held. Its last fragment, when it does carry the bit, then
        // finds the assembler idle and is ignored.
        const auto length = pfh::sniff_first_fragment(bytes_).header_length;
        if (!length)
            return Step::Waiting;
        bytes_.resize(*length);
    }
    active_ = false;
    return Step::Complete;
}

} // namespace orva::engine
