#include "host/DataRecord.h"

namespace strand {

BaseNode::~BaseNode() {
    for (auto& child : m_children)
        child->setParentNode(nullptr);
}

iNode* BaseNode::getChild(int32_t index) const {
    if (index < 0 || size_t(index) >= m_children.size()) {
        throw InvalidIndexException(index, int64_t(m_children.size()) - 1);
    }
    return m_children[size_t(index)].get();
}

iNode* BaseNode::addChild(Ptr<iNode> child) {
    if (!child)
        throw Exception(u"Cannot add a null child node");
    for (iNode* n = this; n; n = n->getParentNode()) {
        if (n == child.get())
            throw Exception(u"A node cannot become a child of itself or of its descendants");
    }
    child->setParentNode(this);
    m_children.push_back(std::move(child));
    return m_children.back().get();
}

void BaseNode::removeChild(int32_t index) {
    getChild(index)->setParentNode(nullptr);
    m_children.erase(m_children.begin() + index);
}

}  // namespace strand
