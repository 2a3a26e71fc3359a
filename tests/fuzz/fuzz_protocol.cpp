// SPDX-License-Identifier: GPL-3.0-or-later
// The engine host's pipe on any bytes: the reader splits them into lines at
// "\n" only, never holding more than the cap; every line either decodes or
// is refused with an error, never a crash; and a decoded line encodes back
// into a line that decodes to the same message.

#include "browser/engines/webkitgtk/protocolcodec.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

void checkRoundTrip(const char *line, size_t len)
{
    VexelProtoMessage message;
    if (vexel_proto_decode_line(line, len, &message) != VEXEL_PROTO_OK)
        return;
    char *again = nullptr;
    size_t againLen = 0;
    if (vexel_proto_encode_line(message.view, message.verb, message.fields, message.lengths, message.count, &again,
                                &againLen) != VEXEL_PROTO_OK || againLen == 0 || again[againLen - 1] != '\n')
        std::abort();
    VexelProtoMessage back;
    if (vexel_proto_decode_line(again, againLen - 1, &back) != VEXEL_PROTO_OK || back.view != message.view ||
        std::strcmp(back.verb, message.verb) != 0 || back.count != message.count)
        std::abort();
    for (size_t i = 0; i < message.count; ++i)
        if (back.lengths[i] != message.lengths[i] ||
            std::memcmp(back.fields[i], message.fields[i], message.lengths[i]) != 0)
            std::abort();
    vexel_proto_message_clear(&back);
    std::free(again);
    vexel_proto_message_clear(&message);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    // The whole input as one line, as the decoder sees it.
    checkRoundTrip(bytes, size);
    // The same bytes as they would arrive on the pipe, in two reads.
    VexelProtoReader reader;
    vexel_proto_reader_init(&reader);
    const size_t half = size / 2;
    for (const auto &[from, len] : {std::pair{size_t(0), half}, std::pair{half, size - half}}) {
        if (vexel_proto_reader_feed(&reader, bytes + from, len) != VEXEL_PROTO_OK)
            std::abort();
        const char *line = nullptr;
        size_t lineLen = 0;
        int got;
        while ((got = vexel_proto_reader_next(&reader, &line, &lineLen)) != 0) {
            if (got == 1) {
                if (std::memchr(line, '\n', lineLen) || lineLen > VEXEL_PROTO_MAX_LINE)
                    std::abort();
                checkRoundTrip(line, lineLen);
            }
        }
    }
    vexel_proto_reader_free(&reader);
    return 0;
}
