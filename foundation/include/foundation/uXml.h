#pragma once

#include "foundation/uString.h"
#include "foundation/uXmlLimits.h"

#include <string>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/sax/ErrorHandler.hpp>

// The document layer over the Xerces-C DOM. XMLCh is char16_t, so u"..."
// literals name elements and attributes directly.

// Keeps the XML library initialised while any instance exists. The program
// holds one for its whole run so the library is not set up per document;
// every node and document wrapper is a guard too.
class uXmlPlatform
{
public:
    uXmlPlatform();
    uXmlPlatform(const uXmlPlatform&);
    uXmlPlatform& operator=(const uXmlPlatform&) { return *this; }
    virtual ~uXmlPlatform();

private:
    bool m_counted = false; // false when initialisation failed
};

// Wraps one DOM node without owning it: nodes live as long as their document.
// Wrappers handed out through out-parameters are new heap objects that the
// caller deletes (or releases) before the document goes away.
//
// Operations with an int result return 0 when the wrapper has a node and the
// call was made, 1 otherwise; out-parameters are cleared first.
class uXmlNode : public uXmlPlatform
{
public:
    explicit uXmlNode(xercesc::DOMNode* node = nullptr);
    // Wraps a deep clone of the other's node: same document, outside its
    // tree. The copy owns the clone and releases it when destroyed, unless
    // the clone went into a tree meanwhile or was taken with detach(). Like
    // every wrapper it must go before its document does.
    uXmlNode(const uXmlNode& other);
    uXmlNode& operator=(const uXmlNode&) = delete;
    ~uXmlNode() override;

    // Deletes the wrapper (never the node).
    virtual void release();

    // 1 also when there is no child or sibling.
    int getFirstChild(uXmlNode*& child) const;
    int getNextSibling(uXmlNode*& sibling) const;

    // Null unless the node is an element; "" when the element lacks the attribute.
    const XMLCh* getAttribute(const XMLCh* name) const;
    const XMLCh* getTextContent() const;
    const XMLCh* getNodeName() const;
    int getNodeName(const XMLCh*& name) const;
    int getNodeValue(const XMLCh*& value) const;
    // The DOM node type minus 1 (element = 0); 0xFFFF without a node.
    unsigned short getNodeTypeIndex() const;
    int getNodeTypeIndex(unsigned short& index) const;
    // "element", "attribute", "text", ... ; null without a node.
    int getNodeTypeName(const char*& name) const;
    int hasChildNodes(bool& hasChildren) const;

    // Returns the appended node; null without a node or on failure.
    xercesc::DOMNode* appendChild(xercesc::DOMNode* child);
    // The wrapper arguments below are consumed (deleted) in every case; their
    // nodes go into the tree. Wrappers received through out-parameters wrap
    // the node that left the tree.
    int appendChild(uXmlNode* child);
    // Inserts before refChild (not consumed); a null refChild appends.
    int insertBefore(uXmlNode* newChild, const uXmlNode* refChild);
    int removeChild(uXmlNode* oldChild, uXmlNode*& removed);
    int replaceChild(uXmlNode* newChild, uXmlNode* oldChild, uXmlNode*& replaced);
    int cloneNode(bool deep, uXmlNode*& clone) const;

    // Returns the node and leaves the wrapper empty.
    xercesc::DOMNode* detach();
    // The node of a wrapper; null for a null wrapper.
    static xercesc::DOMNode* getDomNode(const uXmlNode* wrapper);

protected:
    xercesc::DOMNode* m_node;

private:
    bool m_ownsClone = false;
};

// Owns one DOM document (or none). Loading parses from memory with external
// entities, DTDs and schemas refused and entity expansion bounded, and keeps
// the parser's own document; saving pretty-prints into memory and replaces
// the file atomically.
class uXmlDocument : public uXmlNode
{
public:
    uXmlDocument();
    // A new document with a root element of that name.
    uXmlDocument(const XMLCh* rootName, const XMLCh* namespaceURI, xercesc::DOMDocumentType* doctype);
    // One owner per document.
    uXmlDocument(const uXmlDocument&) = delete;
    uXmlDocument& operator=(const uXmlDocument&) = delete;
    ~uXmlDocument() override;

    void release() override;

    // Null (with a message on standard error) when the document cannot be made.
    static xercesc::DOMDocument* createDocument(const XMLCh* rootName, const XMLCh* namespaceURI,
                                                xercesc::DOMDocumentType* doctype);

    // Drops the held document, then parses the file. True unless the parser
    // threw; errors it survives are printed and leave a partial tree (or no
    // document when no root element was built). A missing or unreadable
    // file gives false and no document.
    bool load(const char* path, bool doNamespaces, bool doSchema, bool fullSchemaChecking,
              bool createEntityReferenceNodes);
    bool load(const char16_t* path, bool doNamespaces, bool doSchema, bool fullSchemaChecking,
              bool createEntityReferenceNodes);
    // The same from a NUL-terminated text in memory.
    bool loadXml(const char* text, bool doNamespaces, bool doSchema, bool fullSchemaChecking,
                 bool createEntityReferenceNodes);
    // The last resort before a partial tree is taken: the file read again
    // with white space and byte-order marks before its first byte dropped and
    // HTML entity names it does not declare written as numeric references,
    // then parsed with namespaces and, when that still fails, without. True
    // only for a whole document; otherwise no document, or with
    // `keepPartial` the repaired tree read without namespaces as far as it
    // goes (marked partial). A file with nothing to repair is not parsed again.
    bool loadRepaired(const char* path, bool keepPartial = false);
    // The last load stopped at a fatal error: the document holds only what
    // was built before it (a truncated body, an undeclared entity).
    bool isPartial() const { return m_partial; }
    // After a partial load: the innermost node the document had opened and
    // not yet closed where it broke off. It and its ancestors hold only what
    // came before the break. Null after a whole load.
    xercesc::DOMNode* getOpenAtBreak() const { return m_openAtBreak; }
    // The last load was refused before parsing: the document is too large,
    // nests too deep or expands its entities too far (see uXmlLimits.h).
    xmllimits::Refusal getRefusal() const { return m_refusal; }
    // What the last load or save reported: each parse error and fatal error
    // with file, line, column and message, and the text of anything the
    // library threw. Empty when there was nothing to report. The reports are
    // kept here for the caller and never printed: a web page taken for a feed
    // must not fill the terminal.
    const char* getErrorText() const { return m_errorText.c_str(); }

    // Writes the document pretty-printed, in its own encoding (UTF-8 for a new
    // one), without a byte-order mark, through a temporary file that replaces
    // the target; the file gets the given permission bits (0600 for files that
    // hold passwords). False on any failure, and then the target is untouched.
    bool save(const char* path, unsigned permissions = 0644);
    bool save(const char16_t* path, unsigned permissions = 0644);

    xercesc::DOMDocument* getDocument() const { return m_document; }
    xercesc::DOMElement* getDocumentElement() const;
    xercesc::DOMElement* createElement(const XMLCh* tagName);
    xercesc::DOMText* createTextNode(const XMLCh* data);
    xercesc::DOMComment* createComment(const XMLCh* data);
    xercesc::DOMCDATASection* createCDATASection(const XMLCh* data);
    xercesc::DOMProcessingInstruction* createProcessingInstruction(const XMLCh* target, const XMLCh* data);
    xercesc::DOMAttr* createAttribute(const XMLCh* name);
    xercesc::DOMEntityReference* createEntityReference(const XMLCh* name);
    xercesc::DOMDocumentFragment* createDocumentFragment();
    xercesc::DOMNodeList* getElementsByTagName(const XMLCh* tagName) const;
    int setStandalone(bool standalone);

    void releaseDocument();

private:
    void report(const std::string& text);
    bool parse(const char* bytes, std::size_t length, const uString& systemId, const char* reportName,
               bool doNamespaces, bool doSchema, bool fullSchemaChecking, bool createEntityReferenceNodes);

    xercesc::DOMDocument* m_document = nullptr;
    uString m_errorText;
    bool m_partial = false;
    xercesc::DOMNode* m_openAtBreak = nullptr;
    xmllimits::Refusal m_refusal = xmllimits::Refusal::kNone;
};

// Collects parse errors and fatal errors, one report each with file, line,
// column and message; warnings are ignored.
class uXmlErrorHandler : public xercesc::ErrorHandler
{
public:
    void warning(const xercesc::SAXParseException& exception) override;
    void error(const xercesc::SAXParseException& exception) override;
    void fatalError(const xercesc::SAXParseException& exception) override;
    void resetErrors() override;
    bool sawErrors() const { return m_sawErrors; }
    bool sawFatalErrors() const { return m_sawFatalErrors; }
    const uString& getReport() const { return m_report; }

private:
    uString m_report;
    bool m_sawErrors = false;
    bool m_sawFatalErrors = false;
};

// Collects serializer errors and lets the writer go on.
class uDomErrorHandler : public xercesc::DOMErrorHandler
{
public:
    bool handleError(const xercesc::DOMError& error) override;
    const uString& getReport() const { return m_report; }

private:
    uString m_report;
};

// Converts names and texts between the program's UTF-8 and the DOM's UTF-16
// with the program's own converters (never the locale).
class uXmlString
{
public:
    // From UTF-8: get() gives the UTF-16 form; null stays null.
    explicit uXmlString(const char* text);
    // From UTF-16: getText() gives the UTF-8 form; null stays null.
    explicit uXmlString(const XMLCh* text);
    uXmlString(const uXmlString&) = delete;
    uXmlString& operator=(const uXmlString&) = delete;

    const XMLCh* get() const { return m_wide; }
    const char* getText() const;

private:
    uString m_text;
    const XMLCh* m_wide = nullptr;
    bool m_hasText = false;
};
