// Handlers connected through guarded() and library entries through guardEntry() never let an
// exception out; the error box shows its message under the product name.
#include "host/include/Appres.h"
#include "module/Guarded.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QPushButton>

namespace {
class GuardedTest : public HostTest {};
}

TEST_F(GuardedTest, AThrowingSlotShowsTheErrorBoxAndTheNextSignalStillArrives)
{
    QComboBox combo;
    combo.addItems({QStringLiteral("0001-总部"), QStringLiteral("0101-一楼化妆品")});
    QList<int> seen;
    QObject::connect(&combo, &QComboBox::currentIndexChanged, &combo, guarded([&](int index) {
        seen << index;
        if (index == 1) throw DbError(QStringLiteral("无法读取机构"));
    }, &combo));
    QPushButton button;
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, &button, guarded([&] {
        ++clicks;
        throw std::runtime_error("按钮出错");
    }));

    combo.setCurrentIndex(1);
    combo.setCurrentIndex(0);
    button.click();
    EXPECT_EQ(seen, (QList<int>{1, 0}));
    EXPECT_EQ(clicks, 1);
    ASSERT_EQ(prompts->calls.size(), 2u);
    EXPECT_EQ(prompts->calls[0].text, QStringLiteral("无法读取机构"));
    EXPECT_EQ(prompts->calls[1].text, QStringLiteral("按钮出错"));
    for (const PromptCall& c : prompts->calls) {
        EXPECT_EQ(c.caption, UGetProductName_CH());
        EXPECT_EQ(c.flags & 0xF0, MsgFlags::IconError);
    }
}

TEST_F(GuardedTest, AFailingEntryAnswersItsFallback)
{
    QWidget* none = guardEntry([]() -> QWidget* { throw DbError(QStringLiteral("没有数据库连接")); }, static_cast<QWidget*>(nullptr));
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(guardEntry([] { return 7; }, 0), 7);
    ASSERT_EQ(prompts->calls.size(), 1u);
    EXPECT_EQ(prompts->calls[0].text, QStringLiteral("没有数据库连接"));
}
