// The code page both ways. Bytes always decode; a text is either refused with 75 or encoded
// into bytes that decode back to exactly that text; and lines read from a file and written
// back unchanged keep every byte.
#include <cstdint>

#include "fuzz_folder.h"
#include "host/cp932.h"
#include "host/host.h"
#include "host/platform.h"

using namespace norvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = host::from_cp932(bytes);
    for (const std::string& candidate : {text, bytes}) {  // decoded text, and the bytes as UTF-8
        try {
            const std::string encoded = host::to_cp932(candidate);
            fuzzing::expect(
                host::from_cp932(encoded) == candidate && host::representable_in_cp932(candidate),
                "encoded text reads back as another", candidate);
        } catch (const host::host_error& error) {
            fuzzing::expect(error.number() == 75 && !host::representable_in_cp932(candidate),
                            "refusal", candidate);
        }
    }

    fuzzing::enter_fuzz_folder();
    static const auto files = host::create_file_system();
    testing::write_bytes("lines.dat", bytes);
    std::string expected;
    {
        auto stream = files->open_text_file("lines.dat", host::for_writing);
        while (!stream->at_end_of_stream()) {
            const std::string line = stream->read_line_bytes();
            expected += line + "\r\n";
            stream->write_line_bytes(line);
        }
        stream->close();
    }
    fuzzing::expect(testing::read_bytes("lines.dat") == expected, "lines written back changed",
                    bytes);
    return 0;
}
