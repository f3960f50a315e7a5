#pragma once
// Tests reach a window's controls the way a user's tools do: by the name the
// control carries (its objectName), not through the window's members.
#include <QObject>
#include <QString>
#include <QtGlobal>

namespace davu::test {

// The one control of type T under `root` named `name`: its own child of that
// name, else the one of its descendants. A missing or doubled name stops the
// test run: every later step would act on the wrong control.
template <class T>
T* Control(const QObject* root, const char* name) {
  Q_ASSERT(root);
  const QString wanted = QString::fromLatin1(name);
  QList<T*> found = root->findChildren<T*>(wanted, Qt::FindDirectChildrenOnly);
  if (found.isEmpty()) found = root->findChildren<T*>(wanted);
  if (found.size() != 1)
    qFatal("%d controls named %s of the wanted type under %s", int(found.size()), name,
           qPrintable(root->objectName()));
  return found.front();
}

template <class T, class Owner>
T* Control(const Owner& root, const char* name) {
  return Control<T>(static_cast<const QObject*>(&*root), name);
}

}  // namespace davu::test
