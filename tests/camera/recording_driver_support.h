#pragma once
// A small recording driver for byte-level tests of the camera link: it keeps
// every EXECUTE_IO (command block, direction, length, data sent) and answers
// from a queue of scripted replies, or with zeros and good sense.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "camera/lvx_driver.h"

namespace camtest {

struct Sent {
    std::vector<std::uint8_t> cdb;
    std::uint32_t direction = 0;
    std::uint32_t length = 0;
    std::vector<std::uint8_t> data;  // host to camera
};

struct ScriptedReply {
    std::vector<std::uint8_t> dataIn;  // copied into the buffer, at most its length
    std::uint8_t senseByte = 0;        // written to sense byte 2 when non-zero
    std::uint32_t result = 0;
    bool pending = false;  // completion is up to the test (Complete())
};

class RecordingDriver {
public:
    static RecordingDriver& Get();
    static std::uint32_t Entry(std::uint32_t selector, void* block, std::uint32_t driverHandle);

    void Reset();
    // Every reply is taken in order; when the queue is empty the camera
    // answers zeros with good sense ("a" to a microcontroller response).
    void Queue(ScriptedReply reply) { replies.push_back(std::move(reply)); }
    // Calls the event routine as the library would on completing a pending
    // transfer.
    void Complete(std::uint32_t result);

    std::vector<Sent> sent;
    std::deque<ScriptedReply> replies;
    std::vector<std::string> identities;  // 28 characters each, ids 1, 2, ...
    LvxEventRoutine onEvent = nullptr;
    std::uint32_t openedDevice = 0;
    int closeDeviceCalls = 0;
    int closeDriverCalls = 0;
};

}  // namespace camtest
