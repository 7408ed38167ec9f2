#include "platform/gio/GioModule.h"

namespace {
QString &lastError()
{
    static QString error;
    return error;
}
} // namespace

void *GioModule::handle()
{
    // Never closed: the functions looked up stay in use.
    static void *const module = [] {
        void *opened = ::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!opened)
            lastError() = QString::fromLocal8Bit(::dlerror());
        return opened;
    }();
    return module;
}

QString GioModule::error()
{
    return lastError();
}

void GioModule::setError(const QString &error)
{
    lastError() = error;
}
