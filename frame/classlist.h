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
