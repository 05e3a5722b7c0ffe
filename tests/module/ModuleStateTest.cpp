// The module-wide slots of the entry points.
#include "host/include/Appres.h"
#include "module/ModuleState.h"
#include "platform/ui/Guard.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {
int g_calls = 0;
void notifyA(int) { ++g_calls; }
void notifyB(int) { ++g_calls; }
}

TEST(ModuleState, ClosingAnOlderFormKeepsTheSlotOfTheNewer)
{
    using namespace ModuleState;
    FormSlot& slot = registerList();
    auto a = std::make_unique<QWidget>();
    auto b = std::make_unique<QWidget>();
    claimSlot(slot, a.get(), &notifyA);
    claimSlot(slot, b.get(), &notifyB);
    releaseSlot(slot, a.get());
    EXPECT_EQ(slot.form, b.get());
    EXPECT_EQ(slot.notifier, &notifyB);
    releaseSlot(slot, b.get());
    EXPECT_EQ(slot.form, nullptr);
    EXPECT_EQ(slot.notifier, nullptr);

    // A form freed elsewhere leaves an empty slot that the next release clears.
    claimSlot(slot, b.get(), &notifyB);
    b.reset();
    EXPECT_TRUE(slot.form.isNull());
    releaseSlot(slot, a.get());
    EXPECT_EQ(slot.notifier, nullptr);

    // The two entry points keep separate slots.
    claimSlot(registerList(), a.get(), &notifyA);
    claimSlot(summaryReport(), a.get(), &notifyB);
    releaseSlot(registerList(), a.get());
    EXPECT_EQ(summaryReport().notifier, &notifyB);
    releaseSlot(summaryReport(), a.get());
    EXPECT_EQ(g_calls, 0); // releasing never calls a notifier: the form does, once
}

TEST(ModuleState, AdoptingTheHostNamesTheErrorBoxAfterTheProduct)
{
    setGuardCaption(QString());
    ModuleState::adoptHost(qApp);
    EXPECT_EQ(ModuleState::hostApplication(), qApp);
    EXPECT_EQ(guardCaption(), UGetProductName_CH());
    EXPECT_EQ(ModuleState::PrintSetting, QStringLiteral("1"));
}
