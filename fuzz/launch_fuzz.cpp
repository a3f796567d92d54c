// Launch arguments and the open-document message a second start sends: a
// message that decodes is the encoding of what it decodes to.

#include "fuzz_target.h"

#include "app/launch_arguments.h"

#include <vector>

using namespace zelmar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto message = fuzz::bytes(data, size);
    if (const auto path = OpenDocumentMessage::decode(OpenDocumentMessage::identifier, message)) {
        const auto encoded = OpenDocumentMessage::encode(*path);
        FUZZ_CHECK(encoded.has_value());
        FUZZ_CHECK(OpenDocumentMessage::decode(OpenDocumentMessage::identifier, *encoded) == path);
    }
    // The bytes as UTF-16 arguments, split at NUL units.
    std::vector<std::u16string> arguments(1, u"DMM5174K.exe");
    arguments.emplace_back();
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0)
            arguments.emplace_back();
        else
            arguments.back() += unit;
    }
    if (const auto path = LaunchArguments::documentPath(arguments, u"C:\\Users\\u\\Documents"))
        FUZZ_CHECK(!path->empty());
    return 0;
}
