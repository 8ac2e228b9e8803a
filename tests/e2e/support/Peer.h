// Another process that holds the launcher's named objects: the updater, or
// another copy of the launcher. Runs ostrelin-peer and talks to it through
// its stdin and stdout, so that every step is confirmed, not waited for.
#pragma once

#include <windows.h>

#include <string>

class CInstallation;

class CPeer
{
public:
    // Each returns once the peer has the object in place.
    static CPeer Owning(const std::string& mutexName);  // owns the mutex
    static CPeer Holding(const std::string& mutexName); // a handle only, not owning
    static CPeer WithEvent(const std::string& name);    // an event under that name
    // Owns the instance mutex of the launcher that installation.CommandLine(arguments)
    // starts, the name worked out by the peer itself.
    static CPeer OwningInstance(const CInstallation& installation,
                                const std::string& arguments = std::string());

    CPeer(const CPeer&) = delete;
    CPeer& operator=(const CPeer&) = delete;
    ~CPeer(); // ends the peer and waits for it

    // The object's name as the peer reported it.
    const std::string& Name() const { return m_name; }
    // Gives up ownership of the mutex; the peer keeps its handle.
    void Release();
    // Ends the peer at once, as a crash would; an owned mutex is left abandoned.
    void Die();

private:
    explicit CPeer(const std::string& arguments);
    std::string ReadLine();
    void WriteLine(const std::string& line);
    void WaitForEnd();

    HANDLE m_hProcess = nullptr;
    HANDLE m_hToPeer = nullptr;
    HANDLE m_hFromPeer = nullptr;
    std::string m_name;
};
