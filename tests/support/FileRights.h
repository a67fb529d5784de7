#pragma once

#include <QtGlobal>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Root passes over file and folder permissions; without these capabilities it meets them as an
// operator does. Ordinary users are unaffected.
class FolderRightsApply {
public:
    FolderRightsApply() {
        syscall(SYS_capget, &header_, data_);
        saved_ = data_[0].effective;
        data_[0].effective &=
            ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        syscall(SYS_capset, &header_, data_);
    }
    ~FolderRightsApply() {
        data_[0].effective = saved_;
        syscall(SYS_capset, &header_, data_);
    }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data_[2]{};
    quint32 saved_ = 0;
};
