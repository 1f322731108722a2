// The live picture of one sensor: each frame (a Base64 PNG four times the
// sensor's size) is brought back to one pixel per cell and colour-mapped;
// touches, objects, calibration zones and broken lines are drawn on a layer
// above it at screen resolution.

import { colourise } from './colormap.js';
import { h } from './dom.js';

const kinds = {
  1: { name: 'finger', colour: '#38e8ff' },
  2: { name: 'object', colour: '#7dff7a' },
  3: { name: 'object', colour: '#7dff7a' },
  4: { name: 'object', colour: '#7dff7a' },
  5: { name: 'object', colour: '#7dff7a' },
  6: { name: 'pen', colour: '#ff62d8' },
};

export class HeatMap {
  constructor() {
    this.cells = h('canvas', { className: 'cells' });
    this.overlay = h('canvas', { className: 'overlay' });
    this.element = h('div', { className: 'heatmap' }, this.cells, this.overlay);
    this.columns = 0;
    this.rows = 0;
    this.logical = [4096, 4096];
    this.touches = [];
    this.zones = [];
    this.showZones = false;
    this.broken = { cols: [], rows: [] };
    this.decoding = false;
    this.pending = null;
    this.frames = 0;
  }

  // Sensor cells and the logical grid of the touch coordinates.
  setGeometry(columns, rows, logicalWidth, logicalHeight) {
    this.columns = columns;
    this.rows = rows;
    this.logical = [Math.max(1, logicalWidth), Math.max(1, logicalHeight)];
    this.cells.width = columns;
    this.cells.height = rows;
    this.element.dataset.columns = columns;
    this.element.dataset.rows = rows;
    this.resize();
  }

  // Cell size on screen: whole pixels, as large as the space allows.
  resize() {
    if (!this.columns) return;
    // The width of the controller's panel, less the touch list beside the picture.
    const panel = this.element.closest('main')?.clientWidth || 1100;
    const available = Math.max(200, panel - 330);
    const scale = Math.max(2, Math.min(8, Math.floor(available / this.columns)));
    const width = this.columns * scale;
    const height = this.rows * scale;
    for (const canvas of [this.cells, this.overlay]) {
      canvas.style.width = `${width}px`;
      canvas.style.height = `${height}px`;
    }
    this.element.style.width = `${width}px`;
    this.element.style.height = `${height}px`;
    const ratio = window.devicePixelRatio || 1;
    this.overlay.width = Math.round(width * ratio);
    this.overlay.height = Math.round(height * ratio);
    this.scale = scale * ratio;
    this.draw();
  }

  // A frame as the service sends it. Frames that arrive while one is being
  // decoded replace each other: the picture shows the latest.
  showFrame(base64) {
    if (typeof base64 !== 'string' || !this.columns) return;
    this.pending = base64;
    if (!this.decoding) this.decodeNext();
  }

  async decodeNext() {
    this.decoding = true;
    while (this.pending) {
      const base64 = this.pending;
      this.pending = null;
      try {
        const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
        // Nearest-neighbour scaling picks one pixel of each 4 x 4 block:
        // exactly the cell's value.
        const bitmap = await createImageBitmap(new Blob([bytes], { type: 'image/png' }), {
          resizeWidth: this.columns,
          resizeHeight: this.rows,
          resizeQuality: 'pixelated',
        });
        const context = this.cells.getContext('2d', { willReadFrequently: true });
        context.imageSmoothingEnabled = false;
        context.drawImage(bitmap, 0, 0);
        bitmap.close();
        context.putImageData(colourise(context.getImageData(0, 0, this.columns, this.rows)), 0, 0);
        this.frames += 1;
        this.element.dataset.frames = this.frames;
      } catch (error) {
        this.element.dataset.frameError = String(error);
      }
    }
    this.decoding = false;
  }

  setTouches(entities) {
    this.touches = Array.isArray(entities) ? entities : [];
    this.draw();
  }

  setZones(zones) {
    this.zones = Array.isArray(zones) ? zones : [];
    this.draw();
  }

  setZonesVisible(visible) {
    this.showZones = visible;
    this.draw();
  }

  setBroken(cols, rows) {
    this.broken = { cols: cols || [], rows: rows || [] };
    this.element.dataset.brokenCols = this.broken.cols.join(' ');
    this.element.dataset.brokenRows = this.broken.rows.join(' ');
    this.draw();
  }

  // Touch coordinates (logical units) to cells.
  toCell(x, y) {
    return [(x / this.logical[0]) * this.columns, (y / this.logical[1]) * this.rows];
  }

  draw() {
    const context = this.overlay.getContext('2d');
    context.clearRect(0, 0, this.overlay.width, this.overlay.height);
    if (!this.columns) return;
    const s = this.scale;
    this.drawBroken(context, s);
    if (this.showZones) this.drawZones(context, s);
    for (const entity of this.touches) this.drawEntity(context, entity, s);
  }

  drawBroken(context, s) {
    context.save();
    context.fillStyle = 'rgba(255, 40, 40, 0.45)';
    context.strokeStyle = '#ff3030';
    context.lineWidth = Math.max(1, s / 4);
    context.font = `${Math.round(11 * (window.devicePixelRatio || 1))}px sans-serif`;
    for (const col of this.broken.cols) {
      context.fillRect(col * s, 0, s, this.rows * s);
      context.strokeRect(col * s, 0, s, this.rows * s);
      context.fillStyle = '#ffd0d0';
      context.fillText(`col ${col}`, col * s + s + 3, 14 * (window.devicePixelRatio || 1));
      context.fillStyle = 'rgba(255, 40, 40, 0.45)';
    }
    for (const row of this.broken.rows) {
      context.fillRect(0, row * s, this.columns * s, s);
      context.strokeRect(0, row * s, this.columns * s, s);
      context.fillStyle = '#ffd0d0';
      context.fillText(`row ${row}`, 4, row * s - 3);
      context.fillStyle = 'rgba(255, 40, 40, 0.45)';
    }
    context.restore();
  }

  drawZones(context, s) {
    context.save();
    context.strokeStyle = '#ffe066';
    context.fillStyle = '#ffe066';
    context.setLineDash([6, 4]);
    context.lineWidth = Math.max(1, s / 3);
    context.font = `${Math.round(12 * (window.devicePixelRatio || 1))}px sans-serif`;
    this.zones.forEach((zone, index) => {
      const r = zone.rectangle || {};
      const [x0, y0] = this.toCell(r.origin?.x || 0, r.origin?.y || 0);
      const [x1, y1] = this.toCell((r.origin?.x || 0) + (r.size?.width || 0), (r.origin?.y || 0) + (r.size?.height || 0));
      context.strokeRect(x0 * s, y0 * s, (x1 - x0) * s, (y1 - y0) * s);
      context.fillText(`zone ${index + 1}`, x0 * s + 6, y0 * s + 16 * (window.devicePixelRatio || 1));
    });
    context.restore();
  }

  drawEntity(context, entity, s) {
    const kind = kinds[entity.type] || kinds[1];
    const [cx, cy] = this.toCell(entity.x || 0, entity.y || 0);
    const x = (cx + 0.5) * s;
    const y = (cy + 0.5) * s;
    const ratio = window.devicePixelRatio || 1;
    const radius = Math.max(9 * ratio, 2.2 * s);
    context.save();
    context.lineWidth = 2.5 * ratio;
    context.strokeStyle = kind.colour;
    context.fillStyle = kind.colour;
    const nested = entity.nested_entities || [];
    if (nested.length > 1) {
      // An object: its feet joined.
      context.beginPath();
      nested.forEach((foot, i) => {
        const [fx, fy] = this.toCell(foot.x || 0, foot.y || 0);
        if (i === 0) context.moveTo((fx + 0.5) * s, (fy + 0.5) * s);
        else context.lineTo((fx + 0.5) * s, (fy + 0.5) * s);
      });
      context.closePath();
      context.stroke();
    }
    context.beginPath();
    context.arc(x, y, radius, 0, Math.PI * 2);
    context.stroke();
    context.beginPath();
    context.arc(x, y, 2.5 * ratio, 0, Math.PI * 2);
    context.fill();
    context.font = `bold ${Math.round(13 * ratio)}px sans-serif`;
    context.textBaseline = 'bottom';
    const label = String(entity.identifier);
    const textWidth = context.measureText(label).width;
    const tx = Math.min(x + radius * 0.7, this.overlay.width - textWidth - 2);
    const ty = Math.max(y - radius * 0.7, 16 * ratio);
    context.fillStyle = 'rgba(0, 0, 0, 0.65)';
    context.fillRect(tx - 2, ty - 15 * ratio, textWidth + 4, 16 * ratio);
    context.fillStyle = kind.colour;
    context.fillText(label, tx, ty);
    context.restore();
  }
}

export function kindName(type) {
  return (kinds[type] || { name: `type ${type}` }).name;
}
