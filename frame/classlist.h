// The process-wide list of calculation class objects. Each static class object embeds a link that its constructor
// pushes at the head, so the list runs from the last-constructed object to the first; registration walks it.
#pragma once

#include "sdk/cafclassobject.h"

class CAFClassObject {
public:
    // The class object's primary interface (no reference added).
    virtual ICAFClassObject* GetClassObjectInterface() = 0;
    CAFClassObject* Next() const { return next_; }

    static CAFClassObject* CalculationListHead() { return Head(); }

protected:
    CAFClassObject() : next_(Head()) { Head() = this; }
    ~CAFClassObject() = default;

private:
    static CAFClassObject*& Head()
    {
        static CAFClassObject* head = nullptr;
        return head;
    }
    CAFClassObject* next_;
};

namespace KVO {

// The link of a message class object in the process-wide message class list: pushed at the head by the static
// constructor of its object, so the list also runs from the last-constructed object to the first. `Registrar` is
// the accessor of the host service that registration hands the classes to.
template <class Registrar, class Interface>
class LinkedClassObject {
public:
    // The class object's interface for the registrar (no reference added).
    virtual Interface* GetClassObjectInterface() = 0;
    LinkedClassObject* Next() const { return next_; }

    static LinkedClassObject* ListHead() { return Head(); }

protected:
    LinkedClassObject() : next_(Head()) { Head() = this; }
    ~LinkedClassObject() = default;

private:
    static LinkedClassObject*& Head()
    {
        static LinkedClassObject* head = nullptr;
        return head;
    }
    LinkedClassObject* next_;
};

} // namespace KVO
