// The outcome of one transfer on a virtual controller.
#pragma once

#include <QByteArray>

namespace corvanesim {

struct TransferResult {
    enum class Status { Ok, Fail, Vanished, Silent };  // Silent: no answer at all
    Status status = Status::Fail;
    QByteArray data;

    static TransferResult ok(const QByteArray& data = {}) { return {Status::Ok, data}; }
    static TransferResult fail() { return {Status::Fail, {}}; }
};

}  // namespace corvanesim
