// The controllers the service sees, kept live: the service notifies
// "devices_list" whenever a controller comes or goes, and the list is then
// read again with "devices_all".

import { h, clear } from './dom.js';

export class ControllerList extends EventTarget {
  constructor(connection, listElement, emptyElement) {
    super();
    this.connection = connection;
    this.listElement = listElement;
    this.emptyElement = emptyElement;
    this.controllers = new Map();  // serial -> {serial, product, version, kinds, entities}
    this.selected = null;
    this.loading = null;
    connection.subscribe('devices_list', '', () => this.reload());
  }

  async reload() {
    // One read at a time; a change during it reads once more.
    if (this.loading) {
      this.again = true;
      return this.loading;
    }
    this.loading = this.read().finally(() => {
      this.loading = null;
      if (this.again) {
        this.again = false;
        this.reload();
      }
    });
    return this.loading;
  }

  async read() {
    const devices = (await this.connection.action({ key: 'devices_all' })).value || [];
    const next = new Map();
    for (const device of devices) {
      const entry = next.get(device.serial_number) || {
        serial: device.serial_number, product: device.product_name, version: device.version,
        kinds: [], descriptions: [],
      };
      entry.kinds.push(device.device_type);
      // The first usable interface (the command channel comes first) holds
      // the descriptions of the session's view of the controller.
      if (!entry.descriptions.length && Array.isArray(device.views?.[0])) entry.descriptions = device.views[0];
      next.set(device.serial_number, entry);
    }
    this.controllers = next;
    this.render();
    this.dispatchEvent(new CustomEvent('changed', { detail: next }));
  }

  render() {
    clear(this.listElement);
    const serials = [...this.controllers.keys()].sort();
    this.emptyElement.hidden = serials.length > 0;
    for (const serial of serials) {
      const c = this.controllers.get(serial);
      const item = h('li', { dataset: { serial }, className: serial === this.selected ? 'selected' : '' },
        h('button', { type: 'button', onclick: () => this.select(serial) },
          h('strong', {}, c.product), ' ', h('span', { className: 'serial' }, serial),
          h('div', { className: 'meta' }, `firmware ${c.version} · ${c.kinds.join(', ')}`)));
      this.listElement.append(item);
    }
  }

  select(serial) {
    this.selected = serial;
    this.render();
    this.dispatchEvent(new CustomEvent('select', { detail: this.controllers.get(serial) }));
  }
}
