#pragma once
// Makes one send() of this process fail as a reset connection would, without
// sending anything: the Nth send after arming. A camera resets a connection
// only at moments no test can time, so this is how a case reaches that path.

namespace orvane::test {

class ArmedSendFault {
public:
    explicit ArmedSendFault(long failingCall);
    ~ArmedSendFault();
    ArmedSendFault(const ArmedSendFault&) = delete;
    ArmedSendFault& operator=(const ArmedSendFault&) = delete;
};

}  // namespace orvane::test
