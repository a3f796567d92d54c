#include "core/named_thread.h"

#include <memory>

#include <pthread.h>

namespace zelmar {

namespace {

struct Start {
    std::string name;
    std::function<void()> body;
};

void* run(void* argument)
{
    std::unique_ptr<Start> start(static_cast<Start*>(argument));
    // Linux limits thread names to 15 characters; longer ones are cut.
    pthread_setname_np(pthread_self(), start->name.substr(0, 15).c_str());
    start->body();
    return nullptr;
}

} // namespace

bool startDetachedThread(const std::string& name, std::size_t stackSize, std::function<void()> body)
{
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, stackSize);
    auto start = std::make_unique<Start>(Start { name, std::move(body) });
    pthread_t thread;
    const int result = pthread_create(&thread, &attributes, run, start.get());
    pthread_attr_destroy(&attributes);
    if (result != 0)
        return false;
    start.release(); // the thread owns it now
    return true;
}

} // namespace zelmar
