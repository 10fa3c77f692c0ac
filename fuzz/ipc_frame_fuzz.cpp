// Datagrams on the window link as a peer may send them: the frame reader,
// then the receive thread's hand-over (registered names numbered, copy data
// through the mailbox) and the command blocks the program reads from copy
// data. Whatever the bytes, nothing is read past the datagram and the
// mailbox is left empty.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "shell/window_link.h"

namespace {

struct World {
    World() { fuzzsupport::SilenceTrace(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static World world;
    LinkMessage message;
    const int rc = ParseLinkFrame(data, size, &message);
    if (rc == kLinkFrameOk) {
        // What was read builds the same datagram again.
        const std::vector<uint8_t> again = BuildLinkFrame(message);
        if (message.kind != kLinkKindPost && message.kind != kLinkKindCopyData && message.kind != kLinkKindRegistered) {
            std::abort();
        }
        if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
    }
    const LinkReceiver::Sink sink = [](uint32_t msg, uint64_t, int64_t lParam) {
        if (msg == kMsgCopyData) {
            CopyDataBlock block;
            if (!CopyDataMailbox::Instance().Take(lParam, &block)) std::abort();
        }
        return true;
    };
    const int delivered = LinkReceiver::Deliver(data, size, sink, {});
    if (rc != kLinkFrameOk && delivered >= 0) std::abort();
    // Only a name that finds no number left is refused after a good frame.
    if (rc == kLinkFrameOk && delivered != 1 && message.kind != kLinkKindRegistered) std::abort();
    if (CopyDataMailbox::Instance().Waiting() != 0) std::abort();
    return 0;
}
