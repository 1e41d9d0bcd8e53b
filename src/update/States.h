// State shared by the dialogs and the workers of one update run.
#pragma once

#include "update/Singleton.h"

#include <atomic>

class CStates : public Singleton<CStates> {
public:
    ~CStates() override = default;

    /// Whether the CRM step uploads the host's data file (the send-CRM box).
    bool IsCrmUploadWanted() const { return crmUploadWanted_.load(); }
    void SetCrmUploadWanted(bool wanted) { crmUploadWanted_.store(wanted); }

private:
    friend class Singleton<CStates>;
    CStates() = default;

    // Written on the host's thread, read by the CRM worker.
    std::atomic<bool> crmUploadWanted_{true};
};
