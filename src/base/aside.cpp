// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/aside.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <atomic>
#include <memory>

namespace aside {

namespace {
std::atomic<int> waiting{0};
}  // namespace

bool busy() { return waiting.load() > 0; }

Waiting::Waiting() { ++waiting; }
Waiting::~Waiting() { --waiting; }

void run(const std::function<void()>& work) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() != app->thread()) {
    work();
    return;
  }
  std::exception_ptr failure;
  std::unique_ptr<QThread> worker(QThread::create([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
  }));
  QEventLoop loop;
  QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
  {
    const Waiting busy;
    worker->start();
    // Finished already (before the connection could tell): nothing to wait for.
    if (!worker->isFinished()) loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace aside
