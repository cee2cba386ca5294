// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The Telnet / RFC 2217 decoder, on whatever a device server (or anything
// listening where one should be) may send. Input: one byte choosing where to
// split, then the server's bytes.
#include "fuzzsupport.h"
#include "rfc2217codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QByteArray bytes(rest.data(), qsizetype(rest.size()));
    const qsizetype split = bytes.isEmpty() ? 0 : qsizetype(data[0]) % (bytes.size() + 1);

    Rfc2217Codec whole;
    Rfc2217Codec pieces;
    whole.greeting();
    pieces.greeting();
    const QByteArray text = whole.decode(bytes);
    const QByteArray replies = whole.takeReplies();
    require(text.size() <= bytes.size(), "the line's text is never longer than what came");
    require(replies.size() <= 3 * bytes.size(), "each request is answered at most once");
    require(pieces.decode(bytes.left(split)) + pieces.decode(bytes.mid(split)) == text,
            "the text does not depend on how the bytes arrive");
    require(pieces.takeReplies() == replies, "nor do the replies");
    require(whole.comPort() == pieces.comPort(), "nor does the option's state");
    // Any text survives the trip between two ends that agree on the mode.
    Rfc2217Codec plain;
    require(plain.decode(plain.encode(text)) == text, "encoding the text escapes it");
    return 0;
}
