// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A page's request for a new window, as the engine hands it to the frame.
// The frame answers it: accept() when it opened a window of its own for the
// address (Cancel: the engine opens none), ignore() when it did not. Copies
// share one answer, so the request travels through queued connections and
// the engine reads the answer wherever the frame gave it.

#include <QMetaType>
#include <QString>
#include <memory>

class NewWindowRequest {
public:
    // address: the one the page asked for; empty when the engine does not say.
    explicit NewWindowRequest(const QString &address = {})
        : address_(address), answer_(std::make_shared<Answer>())
    {
    }

    QString address() const { return address_; }

    void accept() { *answer_ = Answer::Accepted; }
    void ignore() { *answer_ = Answer::Ignored; }
    // Whether the frame opened the window, so the engine must not.
    bool Cancel() const { return *answer_ == Answer::Accepted; }
    bool answered() const { return *answer_ != Answer::None; }

private:
    enum class Answer { None, Accepted, Ignored };
    QString address_;
    std::shared_ptr<Answer> answer_;
};

Q_DECLARE_METATYPE(NewWindowRequest)
