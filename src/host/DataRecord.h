#pragma once
// Data records: what a script runs against. A record has a property list and, for records made of
// a tree of nodes, a root node; every node has a type name, properties of its own and children.

#include <cstdint>
#include <vector>

#include "host/PropertyCollection.h"

namespace strand {

class iNode : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iNode"};

    virtual const String& getTypeName() const = 0;
    virtual iPropertyCollection* getProperties() = 0;
    virtual iNode* getParentNode() const = 0;
    virtual int32_t getNumChildren() const = 0;
    // The child at a 0-based position; raises InvalidIndexException.
    virtual iNode* getChild(int32_t index) const = 0;
    // Appends a child and makes this node its parent; returns it.
    virtual iNode* addChild(Ptr<iNode> child) = 0;
    virtual void removeChild(int32_t index) = 0;
    virtual void setParentNode(iNode* parent) = 0;
};

class BaseNode : public iNode {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.BaseNode"};

    BaseNode() : m_typeName(String::empty()), m_properties(CPropertyCollection::newInstance()) {}
    explicit BaseNode(String typeName)
        : m_typeName(std::move(typeName)), m_properties(CPropertyCollection::newInstance()) {}
    ~BaseNode() override;
    const ClassTag& getClassTag() const override { return Tag; }

    const String& getTypeName() const override { return m_typeName; }
    void setTypeName(String typeName) { m_typeName = std::move(typeName); }
    iPropertyCollection* getProperties() override { return m_properties.get(); }
    iNode* getParentNode() const override { return m_parent; }
    int32_t getNumChildren() const override { return int32_t(m_children.size()); }
    iNode* getChild(int32_t index) const override;
    iNode* addChild(Ptr<iNode> child) override;
    void removeChild(int32_t index) override;
    void setParentNode(iNode* parent) override { m_parent = parent; }

  private:
    String m_typeName;
    Ptr<CPropertyCollection> m_properties;
    std::vector<Ptr<iNode>> m_children;
    iNode* m_parent = nullptr;
};

class iDataRecord : public virtual CountedObject {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.iDataRecord"};

    virtual iPropertyCollection* getPropertyList() = 0;
    // The root of a node-structured record, or null.
    virtual iNode* getRootNode() const = 0;
    virtual void setRootNode(Ptr<iNode> root) = 0;
};

// A record with a property list of its own, which may be swapped for a borrowed one (the
// properties of a node, for a script that runs for that node).
class DataRecord : public iDataRecord {
  public:
    static constexpr ClassTag Tag{"Halvorn.data.DataRecord"};

    DataRecord() : m_properties(CPropertyCollection::newInstance()) {}
    explicit DataRecord(Ptr<iPropertyCollection> properties) : m_properties(std::move(properties)) {}
    const ClassTag& getClassTag() const override { return Tag; }

    iPropertyCollection* getPropertyList() override { return m_properties.get(); }
    iNode* getRootNode() const override { return m_root.get(); }
    void setRootNode(Ptr<iNode> root) override { m_root = std::move(root); }

    // Lends the record another property list; detach gives it a fresh empty one.
    void attachProperties(Ptr<iPropertyCollection> properties) { m_properties = std::move(properties); }
    void detachProperties() { m_properties = CPropertyCollection::newInstance(); }

  private:
    Ptr<iPropertyCollection> m_properties;
    Ptr<iNode> m_root;
};

}  // namespace strand
