// The analysis document of one host chart document, and the identifiers of its family and class. Its settings,
// analysis and results join it as they are built; today it is the document the host creates through the module's
// document class and routes commands, notices and messages to.
#pragma once

#include "frame/document.h"
#include "frame/typeid.h"

namespace CX {
// The document family: the document's type id (n = 0), its commands and own messages.
inline constexpr GUID CXDocGUID{0x2A40C3E7, 0x580D, 0x4E9C, {0xA4, 0x34, 0xC5, 0x45, 0x27, 0x68, 0x9C, 0xAB}};
// The document class.
inline constexpr GUID CXDocClassId{0xE679FB3C, 0xBA7D, 0x44B3, {0x85, 0xC5, 0x1C, 0xB7, 0xDA, 0x47, 0x2D, 0x16}};
} // namespace CX

namespace CX::Doc {

// Command indexes of the document family.
namespace Command {
inline constexpr WORD kSettings = 1;
}

class CXDoc : public ChartChildDocument {
    CAF_DECLARE_MESSAGE_MAP(CXDoc, void)

public:
    // Created with a count of 0.
    static CXDoc* Create(IUnknown* hostDocument, CAFDocumentClassBase* documentClass);
    // The category, the settings command and the menu's separator; each item joins the class's command list.
    static void RegisterCommands(CAFDocumentClassBase& documentClass, ICAFCommandHandler* target, IUnknown* site);

    static const char16_t* ClassName() { return u"Crestmetrics Document"; }
    static const GUID& CommandFamily() { return CXDocGUID; }
    static const GUID& ClassId() { return CXDocClassId; }
    static DWORD CommandIdBase() { return TypeIdClass<&CXDocGUID, 0>::Get(); }
    static constexpr DWORD kVersion = 1;
    static constexpr DWORD kRegistrationFlags = 0;

private:
    CXDoc(IUnknown* hostDocument, CAFDocumentClassBase* documentClass);
};

} // namespace CX::Doc
