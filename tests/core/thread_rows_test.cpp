// The lifetime core's rows of threads, as a give-back's callback reads them.
#include <gtest/gtest.h>

#include <functional>

#include "core/guest_test.h"
#include "core/module.h"
#include "core/thread_rows.h"

namespace quillpost::testing {
namespace {

// A callback took a thread's references and waits for it to leave its scopes; the thread ends,
// its row is freed, and a stranger takes the row and stays in a scope. The callback must not read
// the stranger's scopes as the giver's: it would wait for them without end.
TEST(ThreadRows, ACallbackDoesNotWaitForAStrangerThatTookItsGiversRow)
{
    thread_rows::ThreadRow* giversRow = nullptr;
    LONG tenure = 0;
    std::function<void()> giver = [&] {
        {
            RunningScope running;
            giversRow = thread_rows::RowOf(GetCurrentThreadId());
            ASSERT_NE(nullptr, giversRow);
            ASSERT_TRUE(thread_rows::CountGivenBack(*giversRow));
            HANDLE handle = nullptr;
            EXPECT_EQ(1, thread_rows::TakeForCallback(*giversRow, &handle, &tenure));
            CloseHandle(handle);
            EXPECT_TRUE(thread_rows::InScopes(*giversRow, tenure));
        }
        ForgetThisThread();  // as at its DLL_THREAD_DETACH
    };
    ASSERT_TRUE(RunOnThread(giver));
    ASSERT_NE(nullptr, giversRow);

    bool strangerInScope = false, seenAsGiver = true;
    std::function<void()> stranger = [&] {
        RunningScope running;
        if (thread_rows::RowOf(GetCurrentThreadId()) != giversRow) return;  // another row was free first
        strangerInScope = thread_rows::InScopes(*giversRow, thread_rows::Read(giversRow->tenure));
        seenAsGiver = thread_rows::InScopes(*giversRow, tenure);
    };
    ASSERT_TRUE(RunOnThread(stranger));
    ASSERT_TRUE(strangerInScope) << "the stranger did not take the giver's row";
    EXPECT_FALSE(seenAsGiver) << "the stranger's scope was read as the giver's";
}

}  // namespace
}  // namespace quillpost::testing
