#include "DomPatch.h"

#include <windows.h>

#include <msxml.h>
#include <stddef.h>

#define COUNT(table) ((unsigned)(sizeof(table) / sizeof(void*)))
#define SLOT(table, method) ((unsigned)(offsetof(table, method) / sizeof(void*)))

const struct DomSlots g_domSlots = {
    COUNT(IXMLDOMDocumentVtbl),
    SLOT(IXMLDOMDocumentVtbl, get_documentElement),
    COUNT(IXMLDOMElementVtbl),
    SLOT(IXMLDOMElementVtbl, selectSingleNode),
    SLOT(IXMLDOMElementVtbl, get_childNodes),
    SLOT(IXMLDOMElementVtbl, getAttribute),
    COUNT(IXMLDOMNodeListVtbl),
    SLOT(IXMLDOMNodeListVtbl, get_length),
    SLOT(IXMLDOMNodeListVtbl, get_item),
};
