// Swaps one method of a live DOM object for a stand-in, to make the DOM fail
// where no input can. Slot numbers come from the C view of the interfaces.
#pragma once

#ifdef __cplusplus
extern "C"
{
#endif
    struct DomSlots
    {
        unsigned cDocument, iGetDocumentElement;
        unsigned cElement, iSelectSingleNode, iGetChildNodes, iGetAttribute;
        unsigned cNodeList, iGetLength, iGetItem;
    };
    extern const struct DomSlots g_domSlots;
#ifdef __cplusplus
}

#include <vector>

// The object answers through a copy of its method table, one slot replaced.
class CMethodPatch
{
public:
    CMethodPatch(void* pObject, unsigned cSlots, unsigned iSlot, void* pfnStandIn)
        : m_ppTable(static_cast<void***>(pObject)), m_pOriginal(*m_ppTable),
          m_table(m_pOriginal, m_pOriginal + cSlots)
    {
        m_table[iSlot] = pfnStandIn;
        *m_ppTable = m_table.data();
    }
    ~CMethodPatch() { *m_ppTable = m_pOriginal; }
    CMethodPatch(const CMethodPatch&) = delete;
    CMethodPatch& operator=(const CMethodPatch&) = delete;

private:
    void*** m_ppTable;
    void** m_pOriginal;
    std::vector<void*> m_table;
};
#endif
