#include "touch/touchtracker.h"

#include "touch/touchentity.h"

CVNTouchTracker::CVNTouchTracker() = default;

CVNTouchTracker::~CVNTouchTracker()
{
    clear();
}

void CVNTouchTracker::clear()
{
    // Entities give their serials back to the pools, which outlive them.
    qDeleteAll(m_entities);
    m_entities.clear();
}

void CVNTouchTracker::update(const CVNTouchRecords& records, qint64 nowMs)
{
    m_records = records; // 1
    for (TouchEntity* entity : qAsConst(m_entities)) // 2
        entity->beginPoll();
    matchContacts(nowMs); // 3
    matchPens(); // 4
    addNewEntities(nowMs); // 5, 6
    recognise(nowMs); // 7
    removeGone(); // 8
    for (TouchEntity* entity : qAsConst(m_entities)) // 9
        entity->takeSerial();
}

void CVNTouchTracker::matchContacts(qint64 nowMs)
{
    m_contactTaken.fill(false, m_records.contacts.size());
    for (int i = 0; i < m_records.contacts.size(); ++i) {
        const CVNRawContact& record = m_records.contacts.at(i);
        for (TouchEntity* entity : qAsConst(m_entities)) {
            const bool asked = entity->kind() == TouchEntity::FingerKind
                || (m_orSpec != 0 && entity->isObject());
            if (asked && entity->updateFromContact(record, nowMs)) {
                m_contactTaken[i] = true;
                break;
            }
        }
    }
}

void CVNTouchTracker::matchPens()
{
    m_penTaken.fill(false, m_records.pens.size());
    for (int i = 0; i < m_records.pens.size(); ++i) {
        for (TouchEntity* entity : qAsConst(m_entities)) {
            if (entity->updateFromPen(m_records.pens.at(i))) {
                m_penTaken[i] = true;
                break;
            }
        }
    }
}

void CVNTouchTracker::addNewEntities(qint64 nowMs)
{
    for (int i = 0; i < m_records.contacts.size(); ++i) {
        const CVNRawContact& record = m_records.contacts.at(i);
        if (m_contactTaken.at(i) || !TouchPointer::acceptsNew(record))
            continue;
        auto* finger = new TouchPointer(record, &m_pools);
        finger->setCreatedAt(nowMs);
        finger->endPoll();
        m_entities.append(finger);
    }
    for (int i = 0; i < m_records.pens.size(); ++i) {
        const CVNRawPen& record = m_records.pens.at(i);
        if (m_penTaken.at(i) || !CVNRawPen::isValidId(record.id))
            continue;
        auto* pen = new EntityPen(record, &m_pools);
        pen->setCreatedAt(nowMs);
        pen->endPoll();
        m_entities.append(pen);
    }
}

void CVNTouchTracker::recognise(qint64 nowMs)
{
    if (!m_processor)
        return;
    TouchEntityProcess::Context context{ m_entities, m_pools, nowMs };
    m_processor->process(context);
    for (TouchEntity* entity : qAsConst(m_entities)) {
        if (entity->isObject() && !entity->isDead())
            entity->endPoll();
    }
    m_processor->rejectPoints(context);
}

void CVNTouchTracker::removeGone()
{
    for (auto it = m_entities.begin(); it != m_entities.end();) {
        if ((*it)->isAlive() && !(*it)->isDead()) {
            ++it;
            continue;
        }
        delete *it;
        it = m_entities.erase(it);
    }
}

void CVNTouchTracker::setOrSpec(int orSpec)
{
    const int clamped = qBound(0, orSpec, MaxOrSpec);
    if (clamped == m_orSpec)
        return;
    m_orSpec = clamped;
    for (TouchEntity* entity : qAsConst(m_entities))
        entity->kill();
    removeGone();
    m_pools.refill();
}

void CVNTouchTracker::setProcessor(std::unique_ptr<TouchEntityProcess> processor)
{
    m_processor = std::move(processor);
}

void CVNTouchTracker::applyCalibration(const CVNCalibrationMap* map)
{
    for (TouchEntity* entity : qAsConst(m_entities)) {
        if (map)
            entity->setCalibrationData(*map);
        entity->setCalibrated(map != nullptr);
    }
}
