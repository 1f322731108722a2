// The "TUIO" tab: the receivers this controller's touches are streamed to
// (TUIO 1.1 and 2.0 over UDP), added and removed.

import { h, clear } from './dom.js';

export class TuioView {
  constructor(connection, device, entities) {
    this.connection = connection;
    this.device = device;
    this.available = entities.has('tuio');
    this.list = h('tbody', { id: 'tuio-receivers' });
    this.ip = h('input', { type: 'text', value: '127.0.0.1', placeholder: 'address', id: 'tuio-ip' });
    this.port = h('input', { type: 'number', value: 3333, min: 1, max: 65535, id: 'tuio-port' });
    this.locked = h('input', { type: 'checkbox', id: 'tuio-locked',
      onchange: (e) => this.write({ report_locked: e.target.checked }) });
    this.message = h('p', { className: 'status' });
    const add = h('form', { className: 'toolbar', onsubmit: (e) => { e.preventDefault(); this.add(); } },
      this.ip, this.port, h('button', { type: 'submit', id: 'tuio-add' }, 'Add receiver'));
    this.element = this.available
      ? h('section', { className: 'tuio' },
        h('table', { className: 'form' }, h('thead', {}, h('tr', {}, h('th', {}, 'Receiver'), h('th', {}, ''))), this.list),
        add, h('label', {}, this.locked, ' Send only touches that have lasted the time-lock'), this.message)
      : h('section', { className: 'tuio' }, h('p', { className: 'hint' }, 'This controller has no TUIO output.'));
  }

  async attach() {
    if (this.available) this.show(await this.connection.read(this.device, 'tuio'));
  }

  detach() {}

  add() {
    const port = Number(this.port.value);
    if (!this.ip.value.trim() || !(port >= 1 && port <= 65535)) {
      this.message.textContent = 'Give an address and a port 1..65535.';
      return;
    }
    this.write({ start: { ip: this.ip.value.trim(), port } });
  }

  async write(value) {
    this.message.textContent = '';
    const answer = await this.connection.write(this.device, 'tuio', value);
    if (answer.error) this.message.textContent = answer.error;
    else if (value.start && !(answer.value?.address || []).some((a) => a.ip === value.start.ip && a.port === value.start.port))
      this.message.textContent = `${value.start.ip}:${value.start.port} was not taken (an address of this form: 127.0.0.1).`;
    this.show(answer.value);
  }

  show(value) {
    clear(this.list);
    const receivers = value?.address || [];
    if (receivers.length === 0) this.list.append(h('tr', {}, h('td', { className: 'hint', colSpan: 2 }, 'No receiver.')));
    for (const receiver of receivers) {
      this.list.append(h('tr', { dataset: { receiver: `${receiver.ip}:${receiver.port}` } },
        h('td', {}, `${receiver.ip}:${receiver.port}`),
        h('td', {}, h('button', { type: 'button', onclick: () => this.write({ stop: receiver }) }, 'Remove'))));
    }
    this.locked.checked = Boolean(value?.report_locked);
  }
}
