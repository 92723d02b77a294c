// The tray icon against a panel of the test's own on a private session bus: it registers
// whenever a watcher is there (also one that comes later or restarts), a left click is
// Activate, and the panel draws the menu from what the item exports.
#include <gtest/gtest.h>

#include <QAction>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QMenu>
#include <QSignalSpy>
#include <memory>

#include "platform/DBusMenuExporter.h"
#include "platform/DBusMenuTypes.h"
#include "platform/DesktopTrayIcon.h"
#include "platform/StatusNotifierItem.h"
#include "support/E2E.h"
#include "support/TrayHost.h"
#include "widgets/Pictures.h"

namespace {
class StatusNotifierTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!bus.ok()) GTEST_SKIP() << "no dbus-daemon";
    host = std::make_unique<TrayHost>(bus.address());
    open = menu.addAction(QStringLiteral("&Show it"));
    menu.addSeparator();
    greyed = menu.addAction(QStringLiteral("Check e_mail"));
    greyed->setEnabled(false);
    connect(open, [this] { ++opened; });
    connect(greyed, [this] { ++greyedRuns; });
    icon = std::make_unique<DesktopTrayIcon>(QStringLiteral("test"), nullptr, bus.address());
    icon->setToolTip(QStringLiteral("Quillatorne"));
    icon->setMenu(&menu);
  }
  void connect(QAction* a, std::function<void()> f) {
    QObject::connect(a, &QAction::triggered, a, std::move(f));
  }
  QString service() const { return icon->statusNotifierItem()->serviceName(); }
  bool Registered() {
    return WaitUntil([&] { return host->RegisteredStatusNotifierItems().contains(service()); },
                     10000);
  }

  SessionBus bus;
  std::unique_ptr<TrayHost> host;
  QMenu menu;
  QAction* open = nullptr;
  QAction* greyed = nullptr;
  int opened = 0;
  int greyedRuns = 0;
  std::unique_ptr<DesktopTrayIcon> icon;
};

enum class Panel { BeforeTheIcon, AfterTheIcon, RestartedAfterTheIcon };
struct PanelCase {
  Panel panel;
  const char* name;
};

class PanelOrderTest : public StatusNotifierTest,
                       public ::testing::WithParamInterface<PanelCase> {};

TEST_P(PanelOrderTest, TheIconReachesThePanel) {
  if (GetParam().panel == Panel::BeforeTheIcon) {
    ASSERT_TRUE(host->Start());
  }
  icon->show();
  if (GetParam().panel != Panel::BeforeTheIcon) {
    EXPECT_TRUE(icon->waitingForTray());
    ASSERT_TRUE(host->Start());
  }
  ASSERT_TRUE(Registered());
  if (GetParam().panel == Panel::RestartedAfterTheIcon) {
    host->Stop();
    ASSERT_TRUE(WaitUntil([&] { return icon->waitingForTray(); }, 10000));
    host = std::make_unique<TrayHost>(bus.address());
    ASSERT_TRUE(host->Start());
    ASSERT_TRUE(Registered());
  }
  EXPECT_TRUE(WaitUntil([&] { return icon->isVisible(); }, 10000));
  EXPECT_TRUE(icon->activateIsTheOnlyClick());
  EXPECT_EQ(host->ItemProperty(service(), QStringLiteral("Title")).toString(), "Quillatorne");
  EXPECT_EQ(host->ItemProperty(service(), QStringLiteral("Menu")).value<QDBusObjectPath>().path(),
            QStringLiteral("/MenuBar"));
}

INSTANTIATE_TEST_SUITE_P(Panels, PanelOrderTest,
                         ::testing::Values(PanelCase{Panel::BeforeTheIcon, "Before"},
                                           PanelCase{Panel::AfterTheIcon, "After"},
                                           PanelCase{Panel::RestartedAfterTheIcon, "Restarted"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StatusNotifierTest, ActivateIsALeftClickAndHidingTakesTheIconAway) {
  ASSERT_TRUE(host->Start());
  icon->show();
  ASSERT_TRUE(Registered());
  QSignalSpy clicks(icon.get(), &DesktopTrayIcon::activated);
  ASSERT_TRUE(host->Activate(service()));
  ASSERT_TRUE(WaitUntil([&] { return clicks.size() == 1; }, 5000));
  EXPECT_EQ(clicks[0][0].value<QSystemTrayIcon::ActivationReason>(), QSystemTrayIcon::Trigger);

  icon->hide();
  EXPECT_TRUE(
      WaitUntil([&] { return !host->RegisteredStatusNotifierItems().contains(service()); }, 10000));
  EXPECT_FALSE(icon->isVisible());
}

TEST_F(StatusNotifierTest, ThePanelDrawsTheMenuAsItIsAndClicksOnlyWhatIsEnabled) {
  ASSERT_TRUE(host->Start());
  icon->show();
  ASSERT_TRUE(Registered());
  auto layout = host->Layout(service());
  ASSERT_TRUE(layout);
  ASSERT_EQ(layout->children.size(), 3);
  // Qt's '&' mnemonic becomes dbusmenu's '_'; a literal '_' is doubled.
  EXPECT_EQ(layout->children[0].properties.value("label").toString(), QStringLiteral("_Show it"));
  EXPECT_EQ(layout->children[1].properties.value("type").toString(), QStringLiteral("separator"));
  EXPECT_EQ(layout->children[2].properties.value("label").toString(),
            QStringLiteral("Check e__mail"));
  EXPECT_FALSE(layout->children[2].properties.value("enabled", true).toBool());
  EXPECT_TRUE(layout->children[0].properties.value("enabled", true).toBool());

  ASSERT_TRUE(host->ClickMenuItem(service(), layout->children[2].id));
  ASSERT_TRUE(host->ClickMenuItem(service(), layout->children[0].id));
  ASSERT_TRUE(WaitUntil([&] { return opened == 1; }, 5000));
  EXPECT_EQ(greyedRuns, 0);

  // A change after the menu was read shows in the next reading.
  greyed->setEnabled(true);
  greyed->setText(QStringLiteral("Hide"));
  layout = host->Layout(service());
  ASSERT_TRUE(layout);
  EXPECT_TRUE(layout->children[2].properties.value("enabled", true).toBool());
  EXPECT_EQ(layout->children[2].properties.value("label").toString(), QStringLiteral("Hide"));
}

TEST_F(StatusNotifierTest, TheMenuIsAskedForItsStateBeforeThePanelShowsIt) {
  // The owner greys items in its aboutToShow, as the main menu does while a box is open.
  bool modal = true;
  QObject::connect(&menu, &QMenu::aboutToShow, &menu, [&] { open->setEnabled(!modal); });
  ASSERT_TRUE(host->Start());
  icon->show();
  ASSERT_TRUE(Registered());
  auto layout = host->Layout(service());
  ASSERT_TRUE(layout);
  EXPECT_FALSE(layout->children[0].properties.value("enabled", true).toBool());
  ASSERT_TRUE(host->ClickMenuItem(service(), layout->children[0].id));
  QCoreApplication::processEvents();
  EXPECT_EQ(opened, 0);
  modal = false;
  ASSERT_TRUE(host->ClickMenuItem(service(), layout->children[0].id));
  EXPECT_TRUE(WaitUntil([&] { return opened == 1; }, 5000));
}

// What a panel reads of a picture property: the sizes it offers, with their ARGB bytes.
SniPixmapList Pixmaps(const QVariant& property) {
  return qdbus_cast<SniPixmapList>(property.value<QDBusArgument>());
}

TEST_F(StatusNotifierTest, NeedsAttentionShowsAsTheItemsStatusWithItsOwnPicture) {
  icon->setIcon(ApplicationIcon());
  icon->setAttentionIcon(AttentionIcon());
  ASSERT_TRUE(host->Start());
  icon->show();
  ASSERT_TRUE(Registered());
  EXPECT_EQ(host->ItemProperty(service(), "Status").toString(), QStringLiteral("Active"));
  icon->SetNeedsAttention(true);
  EXPECT_TRUE(icon->needsAttention());
  EXPECT_EQ(host->ItemProperty(service(), "Status").toString(), QStringLiteral("NeedsAttention"));
  // The panel shows the attention picture in the icon's place: same sizes, other pixels.
  const SniPixmapList normal = Pixmaps(host->ItemProperty(service(), "IconPixmap"));
  const SniPixmapList marked = Pixmaps(host->ItemProperty(service(), "AttentionIconPixmap"));
  ASSERT_FALSE(normal.isEmpty());
  ASSERT_EQ(marked.size(), normal.size());
  for (int i = 0; i < normal.size(); ++i) {
    EXPECT_EQ(marked[i].width, normal[i].width);
    EXPECT_EQ(marked[i].bytes.size(), normal[i].bytes.size());
    EXPECT_NE(marked[i].bytes, normal[i].bytes) << "size " << normal[i].width;
  }
  icon->SetNeedsAttention(false);
  EXPECT_EQ(host->ItemProperty(service(), "Status").toString(), QStringLiteral("Active"));
}

TEST_F(StatusNotifierTest, TwoIconsOfOneProgramAreTwoItems) {
  ASSERT_TRUE(host->Start());
  DesktopTrayIcon mail(QStringLiteral("test-mail"), nullptr, bus.address());
  mail.setToolTip(QStringLiteral("Mail"));
  icon->show();
  mail.show();
  ASSERT_TRUE(Registered());
  const QString mailService = mail.statusNotifierItem()->serviceName();
  ASSERT_TRUE(WaitUntil([&] { return host->RegisteredStatusNotifierItems().contains(mailService); },
                        10000));
  EXPECT_EQ(host->ItemProperty(service(), "Id").toString(), QStringLiteral("test"));
  EXPECT_EQ(host->ItemProperty(mailService, "Id").toString(), QStringLiteral("test-mail"));
}

TEST_F(StatusNotifierTest, WithNoTrayAtAllTheUserIsToldOnce) {
  // No watcher, and the offscreen platform has no classic tray either.
  icon->setNoTrayGraceMs(0);
  QSignalSpy told(icon.get(), &DesktopTrayIcon::noTrayFound);
  icon->show();
  ASSERT_TRUE(WaitUntil([&] { return told.size() == 1; }, 5000));
  icon->hide();
  icon->show();
  QCoreApplication::processEvents();
  EXPECT_EQ(told.size(), 1);
  // A panel that comes after all still gets the icon.
  ASSERT_TRUE(host->Start());
  EXPECT_TRUE(Registered());
}
}  // namespace
