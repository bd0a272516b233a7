// Writes the seed of the picture fuzz target: a dark frame as the simulated
// camera sends it (capped lens, no light), in the target's input form: the
// total size (4 bytes, big-endian), a judgement level (2 bytes), the file.
//   picture_seed OUT [BYTES]   BYTES: keep only the first BYTES of the file

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "camera/usb_camera.h"
#include "platform/big_endian.h"
#include "platform/clock.h"
#include "platform/file_write.h"
#include "sim/simulator.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT [BYTES]\n", argv[0]);
        return 2;
    }
    platform::VirtualClock clock;
    CUsbCamera::BindDriverEntry(&SimLvDriverEntry);
    CUsbCamera camera(clock);
    std::vector<std::uint8_t> file(10'000'000);
    ImageFileInfo info;
    if (camera.ConnectCamera() != 1 || camera.ResumeSession() != 1 ||
        camera.CaptureRawImage(file.data(), static_cast<std::uint32_t>(file.size()), &info) != 1) {
        std::fprintf(stderr, "the simulated camera gave no picture\n");
        return 1;
    }
    camera.DisconnectCamera();
    file.resize(info.totalSize);
    if (argc > 2) file.resize(std::min<std::size_t>(file.size(), std::strtoul(argv[2], nullptr, 10)));

    std::string seed(6, '\0');
    platform::PutBe32(reinterpret_cast<std::uint8_t*>(seed.data()), info.totalSize);
    platform::PutBe16(reinterpret_cast<std::uint8_t*>(seed.data()) + 4, 60);
    seed.append(file.begin(), file.end());
    if (platform::WriteFileReplacing(argv[1], seed) != platform::WriteError::None) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
