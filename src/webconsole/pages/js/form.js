// The "Settings" tab: the controller's "basic" and "advanced" views as a
// form built from its interface description. Numbers carry their domain,
// enumerations become choices, booleans check boxes, functions buttons;
// a write the controller refuses shows its error text beside the field.

import { h, clear, tabs } from './dom.js';

// Entities shown in other tabs, or too large for a form field.
const elsewhere = {
  Frame: 'the Sensor tab', TouchEntities: 'the Sensor tab', Touches: 'the Sensor tab',
  GridTest: 'the Sensor tab', FoilHealth: 'the Sensor tab', GeomCalibration: 'the Sensor tab',
  TuneVasta: 'the Tuning tab', AutoTune: 'the Tuning tab', Tuio: 'the TUIO tab',
  EnableDisableCells: 'the command line (a mask of every cell)',
  DeviceSettings: 'the command line (a file)', FirmwareUpload: 'the command line (a file)',
};

const readable = (entity) => /read/.test(entity.access_mode || '');
const writable = (entity) => /write/.test(entity.access_mode || '');

export class SettingsForm {
  constructor(connection, device, descriptions, basicNames) {
    this.connection = connection;
    this.device = device;
    this.descriptions = descriptions;  // advanced view, in order
    this.basic = basicNames;
    this.body = h('div', { className: 'form-body' });
    const views = this.basic.length ? ['basic', 'advanced'] : ['advanced'];
    const { bar, show } = tabs(views, (name) => this.showView(name));
    this.element = h('section', { className: 'settings' }, bar, this.body);
    this.show = show;
    this.views = views;
  }

  attach() {
    this.show(this.views[0]);
  }

  detach() {}

  async showView(name) {
    const byName = new Map(this.descriptions.map((d) => [d.name, d]));
    const entities = name === 'basic'
      ? this.basic.map((n) => byName.get(n)).filter(Boolean)
      : this.descriptions;
    const table = h('table', { className: 'form', dataset: { view: name } },
      h('thead', {}, h('tr', {}, h('th', {}, 'Name'), h('th', {}, 'Value'), h('th', {}, ''))));
    const body = h('tbody');
    table.append(body);
    const rows = new Map();
    for (const entity of entities) {
      const row = this.row(entity);
      rows.set(entity.name, row);
      body.append(row.element);
    }
    clear(this.body).append(table);
    const toRead = entities.filter((e) => e.type !== 'Function' && readable(e) && !elsewhere[e.type]);
    if (toRead.length === 0) return;
    const answers = await this.connection.actions(toRead.map((e) => ({ key: e.name, device: this.device })));
    for (const answer of answers) rows.get(answer.key)?.show(answer.value, answer.error);
  }

  row(entity) {
    const status = h('td', { className: 'field-status' });
    const label = h('td', { className: 'name' }, h('code', {}, entity.name),
      h('div', { className: 'description' }, entity.description || ''));
    const cell = h('td', { className: 'value' });
    const element = h('tr', { dataset: { entity: entity.name, type: entity.type } }, label, cell, status);
    const row = { element, show: () => {} };
    const report = (answer) => {
      status.textContent = answer.error || '';
      status.classList.toggle('error', Boolean(answer.error));
      if (!answer.error) status.textContent = 'saved';
      row.show(answer.value);
    };

    if (entity.type === 'Function') {
      const args = h('input', { type: 'text', placeholder: entity.arg_exp || '', className: 'arguments' });
      const result = h('output');
      const run = h('button', { type: 'button', onclick: async () => {
        const words = args.value.trim();
        const answer = await this.connection.call(this.device, entity.name, words ? words.split(/\s+/) : undefined);
        result.textContent = answer.error ? '' : format(answer.value);
        status.textContent = answer.error || '';
        status.classList.toggle('error', Boolean(answer.error));
      } }, 'Run');
      cell.append(entity.arg_exp ? args : '', run, ' ', result);
      return row;
    }
    if (elsewhere[entity.type]) {
      cell.append(h('span', { className: 'hint' }, `see ${elsewhere[entity.type]}`));
      return row;
    }

    const disabled = !writable(entity);
    const write = (value) => {
      status.textContent = 'writing…';
      status.classList.remove('error');
      this.connection.write(this.device, entity.name, value).then(report, (e) => { status.textContent = e.message; });
    };
    row.show = (value, error) => {
      clear(cell).append(this.input(entity, value, disabled, write));
      if (error) {
        status.textContent = error;
        status.classList.add('error');
      }
    };
    return row;
  }

  // The field for a value, chosen by the description and the value's shape.
  input(entity, value, disabled, write) {
    if (entity.type === 'Enum' && Array.isArray(entity.values)) {
      return h('select', { disabled, onchange: (e) => write(e.target.value) },
        entity.values.map((v) => h('option', { value: v, selected: v === value }, v)));
    }
    if (typeof value === 'boolean' || entity.type === 'bool') {
      return h('input', { type: 'checkbox', checked: Boolean(value), disabled,
        onchange: (e) => write(e.target.checked) });
    }
    if (typeof value === 'number' || entity.type === 'int') {
      const domain = entity.domain || {};
      return h('input', { type: 'number', value: value ?? '', min: domain.begin, max: domain.end, step: 1, disabled,
        onchange: (e) => write(Number(e.target.value)) });
    }
    if (Array.isArray(value) && value.every((v) => typeof v === 'number')) {
      const fields = value.map((v) => h('input', { type: 'number', value: v, disabled, className: 'tuple' }));
      const send = () => write(fields.map((f) => Number(f.value)));
      for (const field of fields) field.addEventListener('change', send);
      return h('span', {}, fields);
    }
    if (typeof value === 'string' || value === undefined || value === null) {
      return h('input', { type: 'text', value: value ?? '', disabled, onchange: (e) => write(e.target.value) });
    }
    return h('code', { className: 'json' }, format(value));
  }
}

function format(value) {
  if (value === undefined || value === null) return '';
  return typeof value === 'string' ? value : JSON.stringify(value);
}
