#include <gtest/gtest.h>

#include <cerrno>

#include "platform/outcome.h"

namespace lintora {

namespace {

// Each system's codes in their classes: only medium errors are retried and mapped as bad
// sectors; a device that went away or a refusal ends a pass with the system's reason.
TEST(FailureClass, BothSystemsTablesSortTheirCodes) {
    struct Case {
        uint32_t code;
        FailureClass cause;
    };
    for (const Case& c :
         {Case{2, FailureClass::gone}, Case{55, FailureClass::gone}, Case{433, FailureClass::gone},
          Case{1167, FailureClass::gone}, Case{1617, FailureClass::gone},
          Case{5, FailureClass::refused}, Case{19, FailureClass::refused},
          Case{27, FailureClass::refused}, Case{87, FailureClass::refused},
          Case{23, FailureClass::medium},
          // A transport error, a hardware fault, a drive not ready: no bad sector, no retry.
          Case{21, FailureClass::other}, Case{483, FailureClass::other},
          Case{1117, FailureClass::other}, Case{32, FailureClass::other},
          Case{112, FailureClass::other}}) {
        EXPECT_EQ(failure_class_of_windows_error(c.code), c.cause) << "Windows error " << c.code;
    }
    struct ErrnoCase {
        int code;
        FailureClass cause;
    };
    // Every code the table lists, and two it leaves to `other`.
    for (const ErrnoCase& c :
         {ErrnoCase{ENODEV, FailureClass::gone}, ErrnoCase{ENXIO, FailureClass::gone},
#ifdef ENOMEDIUM
          ErrnoCase{ENOMEDIUM, FailureClass::gone},
#endif
          ErrnoCase{EROFS, FailureClass::refused}, ErrnoCase{EPERM, FailureClass::refused},
          ErrnoCase{EACCES, FailureClass::refused}, ErrnoCase{EINVAL, FailureClass::refused},
          ErrnoCase{EIO, FailureClass::medium},
#ifdef ENODATA
          ErrnoCase{ENODATA, FailureClass::medium},
#endif
          ErrnoCase{ENOSPC, FailureClass::other}, ErrnoCase{EFBIG, FailureClass::other}}) {
        EXPECT_EQ(failure_class_of_errno(c.code), c.cause) << "errno " << c.code;
    }
}

}  // namespace

}  // namespace lintora
