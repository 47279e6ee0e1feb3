// Reads arbitrary bytes as a run record. A record may be refused (RecordError) but never crash
// or throw anything else, and a record that was read is written back as one that reads again
// to the same numbers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runs/run_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qv::runs::RunRecord record;
    try {
        record = qv::runs::parse_record(text);
    } catch (const qv::runs::RecordError&) {
        return 0;
    }
    qv::runs::describe(qv::runs::RecordStatus{qv::runs::RecordState::failed, "", {}, record});
    const qv::runs::RunRecord again = qv::runs::parse_record(qv::runs::record_json(record));
    if (again.exit_status != record.exit_status || again.signal != record.signal ||
        again.stopped != record.stopped || again.files().size() != record.files().size())
        std::abort();
    for (std::size_t i = 0; i < record.files().size(); ++i) {
        const qv::runs::RecordedFile& a = *record.files()[i];
        const qv::runs::RecordedFile& b = *again.files()[i];
        if (a.exists && (a.size != b.size || a.mtime_ns != b.mtime_ns))
            std::abort();
    }
    return 0;
}
