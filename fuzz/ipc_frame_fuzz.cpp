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
#include "shell/external_link.h"
#include "shell/window_link.h"

namespace {

struct World {
    World() { fuzzsupport::SilenceTrace(); }
};

// Every command block reader on the block, whatever its code: a block it
// takes holds what the reader promises.
void ReadBlocks(const std::vector<uint8_t>& bytes) {
    PositionBlock place;
    if (ReadPositionBlock(bytes.data(), bytes.size(), &place)) {
        if (place.name.size() > 64 || place.name.find(u'\0') != std::u16string::npos) std::abort();
        if (std::abs(static_cast<int64_t>(place.x)) > 180LL * 524288 || std::abs(static_cast<int64_t>(place.y)) > 90LL * 524288) {
            std::abort();
        }
    }
    if (CheckRoutePointsBlock(bytes.data(), bytes.size()) && bytes.size() != kRoutePointsBlockBytes) std::abort();
    SpeechResultBlock speech;
    if (ReadSpeechResultBlock(bytes.data(), bytes.size(), &speech)) {
        if (speech.text.size() > kSpeechTextMaxChars || bytes.size() < 4 + 2 * (speech.text.size() + 1)) std::abort();
    }
}

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
            ReadBlocks(block.bytes);
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
