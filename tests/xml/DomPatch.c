/* Where IXMLDOMElement::getAttribute stands in the element's method table, from
   the C view of the interface. */
#include <windows.h>

#include <msxml.h>
#include <stddef.h>

const unsigned g_cElementSlots = sizeof(IXMLDOMElementVtbl) / sizeof(void*);
const unsigned g_iGetAttributeSlot = offsetof(IXMLDOMElementVtbl, getAttribute) / sizeof(void*);
