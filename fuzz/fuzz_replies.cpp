// Every reply parser of the supply protocol on arbitrary bytes (NUL and bytes above 127 included).
#include "FuzzInput.h"
#include "ProgramLink.h"
#include "Protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray reply(reinterpret_cast<const char *>(data), int(size));
    using namespace Protocol;
    const Reading r = ParseGetd(reply);
    if (r.mode)
        DecodeMode(*r.mode);
    ParseGmax(reply).answered();
    ParseGmaxStrict(reply).answered();
    StopAccepted(reply);
    SetpointAccepted(reply);
    OkAt(reply, int(size % 200) - 50); // positions before, inside and after the reply
    Field(reply, int(size % 7) - 3, int(size % 130));
    ProgramLink::ParseGetp(reply);
    for (int k = 0; k <= 10; ++k) // memories 1-9 and the ones either side
        ProgramLink::ParseMemory(reply, k);
    return 0;
}
