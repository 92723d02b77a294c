// A second start brings the settings window to the user on sway, also when the window sits on
// another workspace: it comes to the one in front, with the focus.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "support/E2E.h"
#include "support/SwaySession.h"

namespace {
bool Holds(const QJsonObject& node, const QString& name) {
  if (node["name"].toString() == name && node["type"].toString().endsWith("con")) return true;
  for (const char* kind : {"nodes", "floating_nodes"})
    for (const QJsonValue& child : node[kind].toArray())
      if (Holds(child.toObject(), name)) return true;
  return false;
}

// The name of the workspace that holds the view, empty when none does.
QString WorkspaceOf(const QJsonObject& node, const QString& view) {
  if (node["type"].toString() == "workspace")
    return Holds(node, view) ? node["name"].toString() : QString();
  for (const QJsonValue& child : node["nodes"].toArray())
    if (const QString w = WorkspaceOf(child.toObject(), view); !w.isEmpty()) return w;
  return {};
}

QString FocusedWorkspace(const SwaySession& session) {
  const auto out = session.Msg({QStringLiteral("-t"), QStringLiteral("get_workspaces")});
  if (!out) return {};
  for (const QJsonValue& w : QJsonDocument::fromJson(out->toUtf8()).array())
    if (w["focused"].toBool()) return w["name"].toString();
  return {};
}
}  // namespace

TEST(SwayActivationE2E, ASecondStartBringsTheWindowFromAnotherWorkspace) {
  SwaySession session;
  if (!session.ok()) GTEST_SKIP() << session.why();
  SwayProgram program(session);
  ASSERT_TRUE(program.Start());
  ASSERT_TRUE(program.WaitForListening()) << qPrintable(program.Log().right(3000));
  ASSERT_TRUE(program.ShowWindow());
  const QString main = QStringLiteral("Quillatorne");
  ASSERT_TRUE(WaitUntil([&] { return SwaySession::FocusedView(session.Tree()) == main; }, 30000));
  const QString first = WorkspaceOf(session.Tree(), main);
  ASSERT_FALSE(first.isEmpty());

  ASSERT_TRUE(session.Msg({QStringLiteral("workspace elsewhere")}));
  ASSERT_TRUE(WaitUntil([&] { return FocusedWorkspace(session) == "elsewhere"; }, 10000));
  ASSERT_NE(SwaySession::FocusedView(session.Tree()), main);

  ASSERT_TRUE(program.ShowWindow());
  QJsonObject tree;
  EXPECT_TRUE(WaitUntil(
      [&] {
        tree = session.Tree();
        return SwaySession::FocusedView(tree) == main && WorkspaceOf(tree, main) == "elsewhere";
      },
      30000))
      << "on " << WorkspaceOf(tree, main).toStdString() << ", focused "
      << SwaySession::FocusedView(tree).toStdString();
  EXPECT_TRUE(SwaySession::IsFloating(tree, main));
  EXPECT_TRUE(program.running());
}
