#include "app/Startup.h"

namespace trawl {

StartupOutcome StartupSequence::Run()
{
    m_passes = 0;
    while (true) {
        ++m_passes;
        const bool complete = m_hooks.loadLists ? m_hooks.loadLists() : true;
        if (m_hooks.loadSettings) {
            m_hooks.loadSettings();
        }
        if (m_passes == 1 && m_hooks.instanceCheck && !m_hooks.instanceCheck()) {
            return StartupOutcome::SecondCopy;
        }
        if (complete) {
            break;
        }
        const int downloadResult = m_hooks.runSetup ? m_hooks.runSetup() : 0;
        if (downloadResult != 1) {
            return StartupOutcome::SetupEnded;
        }
    }
    if (m_hooks.offerStartMenu) {
        m_hooks.offerStartMenu();
    }
    if (m_hooks.allocateStore) {
        m_hooks.allocateStore();
    }
    return StartupOutcome::Ready;
}

} // namespace trawl
