#include "engine/directory/header_assembler.h"

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
    if (!f.ends_header())
        return Step::Waiting;
    active_ = false;
    return Step::Complete;
}

} // namespace orva::engine
