#pragma once
// CParameterCollection: the parameters of one component, in order. Every property it creates is a
// CParameter. On top of the host collection it keeps the component's context (not counted) and its
// connection to the pipeline runner, knows its groups, keeps the groups' member lists right when
// parameters are removed or renamed, revalidates all its parameters at once, and copies parameters (a
// group with its members) from another collection.
//
// The groups, and which groups name each parameter, are kept in an index rebuilt only when a group or a
// membership changes, so that the verdicts of a large component take time in proportion to its size.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "host/Parameter.h"
#include "host/PropertyCollection.h"

class CParameter;

class CParameterCollection final : public strand::CPropertyCollection, public strand::iParameterCollection {
  public:
    static constexpr strand::ClassTag Tag{"Halvorn.data.ParameterCollection"};
    static strand::PooledClassImp<CParameterCollection, -1> m_class;
    static strand::LeakDetector m_leakDetector;
    // The version of the collection's byte-stream record.
    static constexpr int32_t PARAMETER_COLLECTION_VERSION = 201;

    // Collections come from their pool, like parameters: made through allocate, newInstance and clone.
    // A copy holds copies of the parameters and shares the context and the runner connection.
    CParameterCollection& operator=(const CParameterCollection& other);
    ~CParameterCollection() override;

    static CParameterCollection* allocate() { return m_class.allocate(); }
    static strand::Ptr<CParameterCollection> newInstance() {
        return strand::Ptr<CParameterCollection>(allocate());
    }
    strand::Ptr<CParameterCollection> clone() const {
        return strand::Ptr<CParameterCollection>(m_class.allocateCopy(*this));
    }
    void deleteInstance() override { m_class.returnObject(this); }
    void onActivate() override;
    void onDeactivate() override;
    const strand::ClassTag& getClassTag() const override { return Tag; }

    // -- strand::iParameterCollection ------------------------------------------------------------------
    strand::iContext* getContext() const override { return m_context; }
    void _setContext(strand::iContext* context) override { m_context = context; }
    void getGroups(strand::Array<strand::iGroupParameter*>& out) override;
    strand::iParameter* declare(const strand::String& name) override;
    void revalidateParameters() override;
    // Copies a group's members too (and theirs), in the order they have in the source.
    void copyParameter(const strand::iPropertyCollection* source, const strand::String& name) override;
    void setRunnerSoap(strand::iRunnerSoap* runner) override { m_runner.reset(runner); }
    strand::iRunnerSoap* getRunnerSoap() const override { return m_runner.get(); }

    // -- strand::iPropertyCollection: changes that touch the groups ------------------------------------
    bool remove(const strand::String& name) override;
    void remove(int32_t index) override;
    void removeAll() override;
    bool rename(const strand::String& oldName, const strand::String& newName) override;
    void reorderProperty(const strand::String& name, int32_t newIndex) override;
    void reorder(const strand::Array<strand::String>& names) override;
    void keep(const strand::Array<strand::String>& names, bool inNameOrder) override;
    void assignFrom(const strand::iPropertyCollection* other, bool deep) override;
    // The element class (CParameter unless changed).
    void SetPropertyClass(const strand::ClassTag& tag) { setPropertyClass(tag); }

    // The collection's byte-stream record: the version 201, the host collection's record (each
    // parameter with its own record) and the group section. serializeSubset writes the named parameters
    // only, and the groups among them. A group section naming a parameter the record does not hold is
    // refused.
    void serialize(strand::iByteOutputStream& out) const;
    void serializeSubset(strand::iByteOutputStream& out, const strand::Array<strand::String>& names) const;
    void deserialize(strand::iByteInputStream& in) override;

    // The groups that have the parameter as a member (isMember), in collection order.
    void groupsContaining(const CParameter& parameter, strand::Array<CParameter*>& out);
    // Called by parameters whose group membership or type changed, and by every change of the
    // collection's structure (which also changes what macro tokens find).
    void noteGroupsChanged() noexcept;

  protected:
    strand::Ptr<strand::CProperty> createProperty(const strand::String& name) const override;
    void internalSerialize(strand::iByteOutputStream& out,
                           const strand::Array<strand::String>* names) const override;

  private:
    friend class strand::PooledClassImp<CParameterCollection, -1>;
    CParameterCollection();
    CParameterCollection(const CParameterCollection& other);

    void removePropertyFromGroups(const strand::String& name);
    void serializeGroups(strand::iByteOutputStream& out, const strand::Array<strand::String>* names) const;
    void deserializeGroups(strand::iByteInputStream& in);
    void copyParameterAt(const strand::iPropertyCollection* source, const strand::String& name);
    // The group index, rebuilt when a group changed or parameters came or went.
    struct GroupIndex {
        uint64_t version = ~uint64_t(0);
        int32_t size = -1;
        std::vector<strand::iGroupParameter*> groups;
        // Member name (A to Z folded) -> positions in `groups` of the groups that name it, ascending.
        std::unordered_map<strand::String, std::vector<uint32_t>, strand::StringHashIgnoreCase,
                           strand::StringEqualIgnoreCase>
            naming;
    };
    const GroupIndex& groupIndex();

    strand::iContext* m_context = nullptr;
    strand::Ptr<strand::iRunnerSoap> m_runner;
    uint64_t m_groupsVersion = 0;
    GroupIndex m_groupIndex;
};
