// The "Sensor" tab: the live heat-map with touches, the calibration zones
// and the two foil tests, whose broken lines are marked on the picture.

import { legend } from './colormap.js';
import { h, clear } from './dom.js';
import { HeatMap, kindName } from './heatmap.js';

export class SensorView {
  constructor(connection, device, entities) {
    this.connection = connection;
    this.device = device;
    this.entities = entities;  // names the controller offers
    this.heatmap = new HeatMap();
    this.unsubscribe = [];
    this.status = h('span', { className: 'status', id: 'sensor-status' });
    this.touchList = h('ul', { className: 'touch-list', id: 'touch-list' });
    this.lineList = h('p', { className: 'line-list', id: 'line-list' });
    this.element = this.build();
    this.onResize = () => this.heatmap.resize();
  }

  build() {
    const has = (name) => this.entities.has(name);
    const zones = h('label', {}, h('input', {
      type: 'checkbox', id: 'show-zones', disabled: !has('geometric_calibration'),
      onchange: (event) => this.heatmap.setZonesVisible(event.target.checked),
    }), ' Calibration zones');
    const grid = h('button', {
      type: 'button', id: 'run-grid-test', disabled: !has('grid_test'), onclick: () => this.runGridTest(),
    }, 'Run grid test');
    const foil = h('button', {
      type: 'button', id: 'run-foil-health', disabled: !has('foil_health'), onclick: () => this.runFoilHealth(),
    }, 'Run foil health');
    return h('section', { className: 'sensor' },
      h('div', { className: 'toolbar' }, zones, grid, foil, this.status),
      h('div', { className: 'sensor-body' },
        h('div', { className: 'picture' }, this.heatmap.element,
          h('div', { className: 'scale' }, '0 ', legend(200, 10), ' 255')),
        h('div', { className: 'side' },
          h('h3', {}, 'Touches'), this.touchList,
          h('h3', {}, 'Broken lines'), this.lineList)));
  }

  async attach() {
    window.addEventListener('resize', this.onResize);
    const names = ['fsize', 'flogs', 'geometric_calibration'].filter((name) => this.entities.has(name));
    const answers = await this.connection.actions(names.map((key) => ({ key, device: this.device })));
    const values = Object.fromEntries(answers.map((a) => [a.key, a.value]));
    const size = Array.isArray(values.fsize) ? values.fsize : [0, 0];
    const logical = Array.isArray(values.flogs) ? values.flogs : [4096, 4096];
    this.heatmap.setGeometry(size[0], size[1], logical[0], logical[1]);
    this.heatmap.setZones(values.geometric_calibration?.zones_buffer);
    this.lineList.textContent = 'No test run yet.';
    const watch = (key, handler) => {
      if (this.entities.has(key)) this.unsubscribe.push(this.connection.subscribe(key, this.device, handler));
    };
    watch('frame', (value) => this.heatmap.showFrame(value));
    watch('touches', (value) => this.showTouches(value));
    watch('grid_test', (value) => this.showLines('Grid test', value));
    watch('foil_health', (value) => this.showLines('Foil health', value));
    watch('geometric_calibration', (value) => this.heatmap.setZones(value?.zones_buffer));
    requestAnimationFrame(() => this.heatmap.resize());
  }

  detach() {
    window.removeEventListener('resize', this.onResize);
    for (const stop of this.unsubscribe) stop();
    this.unsubscribe = [];
  }

  showTouches(value) {
    const entities = value && Array.isArray(value.entities) ? value.entities : [];
    this.heatmap.setTouches(entities);
    clear(this.touchList);
    if (entities.length === 0) this.touchList.append(h('li', { className: 'hint' }, 'none'));
    for (const entity of entities) {
      const [cx, cy] = this.heatmap.toCell(entity.x, entity.y);
      this.touchList.append(h('li', {
        dataset: { identifier: entity.identifier, cellX: Math.floor(cx), cellY: Math.floor(cy) },
      }, `${entity.identifier} ${kindName(entity.type)} at ${entity.x}, ${entity.y} (cell ${Math.floor(cx)}, ${Math.floor(cy)})`));
    }
  }

  async runGridTest() {
    this.status.textContent = 'Grid test running: the sensor is read at zero gain…';
    const answer = await this.connection.write(this.device, 'grid_test', { action: 'init' });
    if (answer.error) this.status.textContent = `Grid test: ${answer.error}`;
  }

  async runFoilHealth() {
    this.status.textContent = 'Foil health test running in the controller…';
    const answer = await this.connection.write(this.device, 'foil_health', 'start');
    if (answer.error) this.status.textContent = `Foil health: ${answer.error}`;
  }

  showLines(test, value) {
    if (!value || value.state === 'running') return;
    if (value.error) {
      this.status.textContent = `${test}: ${value.error}`;
      return;
    }
    if (value.state !== 'done') return;
    const cols = value.damaged_cols || [];
    const rows = value.damaged_rows || [];
    this.heatmap.setBroken(cols, rows);
    const found = cols.length + rows.length > 0;
    this.status.textContent = `${test} done: ${found ? 'broken lines found' : 'rows and columns OK'}.`;
    this.lineList.textContent = found
      ? [cols.length ? `Columns ${cols.join(', ')}` : '', rows.length ? `Rows ${rows.join(', ')}` : ''].filter(Boolean).join('; ')
      : `${test}: rows and columns OK.`;
  }
}
