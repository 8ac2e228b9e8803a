// A named object held as the updater or another copy would. A mutex is owned per
// thread: a thread of its own owns it, then releases it or ends (abandoned).
#pragma once

#include "CoreHandle.h"

#include <future>
#include <stdexcept>
#include <string>
#include <thread>

class CMutexOwner
{
public:
    enum class Kind
    {
        Own,       // owns the mutex
        Hold,      // a handle, not owning it
        Abandoned, // owned by a thread that has ended; the handle stays open
        Event,     // an object of another kind under the name
    };

    // Returns once the object is in place.
    CMutexOwner(Kind eKind, const std::string& name)
        : m_hObject(eKind == Kind::Event ? ::CreateEventA(nullptr, TRUE, FALSE, name.c_str())
                                         : ::CreateMutexA(nullptr, FALSE, name.c_str()))
    {
        if (!m_hObject)
            throw std::runtime_error("cannot create " + name);
        if (eKind != Kind::Own && eKind != Kind::Abandoned)
            return;
        std::future<void> owned = m_owned.get_future();
        m_owner = std::thread(
            [this, release = m_letGo.get_future()]() mutable
            {
                ::WaitForSingleObject(m_hObject.Get(), INFINITE);
                m_owned.set_value();
                if (release.get())
                    ::ReleaseMutex(m_hObject.Get());
            });
        owned.wait();
        if (eKind == Kind::Abandoned)
            Abandon();
    }
    ~CMutexOwner() { Release(); }
    CMutexOwner(const CMutexOwner&) = delete;
    CMutexOwner& operator=(const CMutexOwner&) = delete;

    void Release() { LetGo(true); }
    void Abandon() { LetGo(false); }

private:
    void LetGo(bool fRelease)
    {
        if (m_owner.joinable())
        {
            m_letGo.set_value(fRelease);
            m_owner.join();
        }
    }

    CUniqueHandle m_hObject;
    std::promise<void> m_owned;
    std::promise<bool> m_letGo;
    std::thread m_owner;
};
