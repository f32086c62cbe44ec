#pragma once
// Reading parsed elements in place, for the per-cycle message readers: the
// same view as XMLItem (element children in order, name, kind, text) without
// building an item per element.

#include <pugixml.hpp>

#include "xml/NumberText.h"

/// \brief Whether `element` has at least one child element (XMLItem's XML_NESTED).
inline bool hasChildElement(pugi::xml_node element)
{
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            return true;
        }
    }
    return false;
}

/// \brief The first child element of `parent` at or after `from`, or an empty node.
inline pugi::xml_node nextElement(pugi::xml_node from)
{
    while (from && from.type() != pugi::node_element) {
        from = from.next_sibling();
    }
    return from;
}

/// \brief Calls `visit(child)` for each child element of `parent`, in document order.
template <typename F>
void forEachElement(pugi::xml_node parent, F visit)
{
    for (pugi::xml_node child = nextElement(parent.first_child()); child; child = nextElement(child.next_sibling())) {
        visit(child);
    }
}

/// \brief Whether the element name `own` is exactly `name`.
inline bool isNamed(const char* own, const char* name)
{
    // Inline: the readers try several short names per element, and most differ at once.
    while (*name != '\0' && *own == *name) {
        ++own;
        ++name;
    }
    return *own == *name;
}

/// \brief The element's text as int, float or double, read as XMLItem reads it.
inline int textInt(pugi::xml_node element)
{
    return parseIntText(element.child_value());
}
inline float textFloat(pugi::xml_node element)
{
    return parseFloatText(element.child_value());
}
inline double textDouble(pugi::xml_node element)
{
    return parseDoubleText(element.child_value());
}
