// The console page: the controller list on the left, the chosen controller
// on the right with its sensor picture, settings, tuning and TUIO output.

import { Connection } from './connection.js';
import { ControllerList } from './controllers.js';
import { h, clear, tabs } from './dom.js';
import { SettingsForm } from './form.js';
import { SensorView } from './sensorview.js';
import { TuioView } from './tuio.js';
import { TuningView } from './tuning.js';

const connection = Connection.forPage();
const linkState = document.getElementById('link-state');
const main = document.getElementById('controller');
const controllers = new ControllerList(connection,
  document.getElementById('controller-list'), document.getElementById('no-controllers'));

let current = null;  // {serial, views: {...}, active}

function setLink(state, text) {
  linkState.dataset.state = state;
  linkState.textContent = text;
}

connection.addEventListener('open', () => {
  setLink('open', 'connected');
  connection.resubscribe();
  controllers.reload();
  if (current) openController(controllers.controllers.get(current.serial) || { serial: current.serial });
});
connection.addEventListener('close', () => setLink('closed', 'disconnected — retrying'));

controllers.addEventListener('select', (event) => openController(event.detail));
controllers.addEventListener('changed', (event) => {
  if (!current) return;
  if (!event.detail.has(current.serial)) {
    closeController();
    clear(main).append(h('p', { className: 'notice', id: 'unplugged' },
      `Controller ${current.serial} was unplugged.`));
  } else if (!current.views) {
    openController(event.detail.get(current.serial));
  }
});

function closeController() {
  if (current?.views) for (const view of Object.values(current.views)) view.detach();
  if (current) current.views = null;
}

async function openController(controller) {
  if (!controller) return;
  closeController();
  current = { serial: controller.serial, views: null };
  if (!controller.descriptions || !controller.descriptions.length) {
    clear(main).append(h('p', { className: 'hint' }, `Controller ${controller.serial} offers no settings to this console.`));
    return;
  }
  const serial = controller.serial;
  const basic = await connection.action({ key: 'device-interface-view', device: serial, view: 'basic' });
  if (current?.serial !== serial) return;
  const entities = new Set(controller.descriptions.map((d) => d.name));
  const views = {
    Sensor: new SensorView(connection, serial, entities),
    Settings: new SettingsForm(connection, serial, controller.descriptions,
      Array.isArray(basic.value) ? basic.value.filter((v) => typeof v === 'string') : []),
    Tuning: new TuningView(connection, serial, entities),
    TUIO: new TuioView(connection, serial, entities),
  };
  current.views = views;
  const panel = h('div', { className: 'panel' });
  let active = null;
  const { bar, show } = tabs(Object.keys(views), (name) => {
    if (active) views[active].detach();
    active = name;
    clear(panel).append(views[name].element);
    Promise.resolve(views[name].attach()).catch((error) => panel.append(h('p', { className: 'error' }, error.message)));
  });
  clear(main).append(
    h('h2', {}, `${controller.product || ''} `, h('span', { className: 'serial' }, serial),
      h('span', { className: 'meta' }, ` firmware ${controller.version || ''}`)),
    bar, panel);
  show('Sensor');
}

setLink('connecting', 'connecting…');
connection.open();
