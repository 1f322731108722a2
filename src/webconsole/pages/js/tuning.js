// The "Tuning" tab: the tuning wizard step by step. The service runs the
// sequence (Start, Hardware, ColsRows, Touch, Calibration, End); the page
// shows where it stands, what the installer must do, and the choices the
// wizard waits for.

import { h, clear } from './dom.js';

const steps = ['Start', 'Hardware', 'ColsRows', 'Touch', 'Calibration', 'End'];
const stepTitles = {
  Start: 'Start', Hardware: 'Hardware', ColsRows: 'Columns and rows', Touch: 'Touch',
  Calibration: 'Calibration', End: 'End', Fail: 'Failed',
};

const touchPrompts = {
  Undefined: 'Wait…',
  Down: 'Touch the foil and hold your finger there.',
  Active: 'Keep touching.',
  Up: 'Lift your finger.',
  Computing: 'Computing…',
  NextStep: 'Next step: touch the foil again.',
  StepFail: 'That step failed: touch the foil again.',
};

// What the installer reads for a state of the wizard.
export function prompt(state) {
  const test = state.currentTest;
  const status = state.currentTestStatus;
  const data = state.currentTestData || {};
  if (test === 'Fail') return 'Tuning failed; the saved sensor settings were written back.';
  if (test === 'End') {
    if (state.ended === 'stopped') return 'Tuning stopped; the saved sensor settings were written back.';
    if (state.ended && state.ended !== 'completed') return `Tuning ended (${state.ended}); the saved sensor settings were written back.`;
    return 'Tuning finished: the controller keeps the gain and threshold it found.';
  }
  if (status === 'Error') {
    if (test === 'Hardware') return 'The co-sensor is not connected. Check the cable, then test again.';
    if (test === 'ColsRows') return 'Broken lines found. Disable them in the cell mask, test again, or go on.';
    return 'This test failed. Test again, go on, or give up.';
  }
  switch (test) {
    case 'Next': return state.running ? 'Going on…' : 'Press Start to begin. Keep this page open: closing it stops the tuning.';
    case 'Start': return 'Saving the sensor settings; touches are not sent to the computer meanwhile.';
    case 'Hardware': return 'Checking the co-sensor connection…';
    case 'ColsRows': return 'Testing the foil\'s columns and rows. Do not touch the foil.';
    case 'Touch':
      if (data.touchProcess === 'NoiseProcess' && (!data.touchState || data.touchState === 'Undefined'))
        return 'Measuring the noise: do not touch the foil.';
      if (data.touchProcess === 'FixedProcess' && data.touchState === 'Down')
        return 'Touch the foil away from the damaged lines and hold your finger still.';
      return touchPrompts[data.touchState] || 'Touch the foil when asked.';
    case 'Calibration': return 'Calibrate the screen now, then press Next.';
    default: return '';
  }
}

export class TuningView {
  constructor(connection, device, entities) {
    this.connection = connection;
    this.device = device;
    this.available = entities.has('tune_vasta');
    this.stepList = h('ol', { className: 'steps' });
    this.prompt = h('p', { className: 'prompt', id: 'tuning-prompt' });
    this.details = h('div', { className: 'details' });
    this.progress = h('progress', { max: 100, value: 0, hidden: true, id: 'tuning-progress' });
    this.error = h('p', { className: 'error', id: 'tuning-error' });
    this.buttons = {};
    const button = (action, text) => {
      this.buttons[action] = h('button', { type: 'button', dataset: { action }, onclick: () => this.send(action) }, text);
      return this.buttons[action];
    };
    const controls = h('div', { className: 'toolbar' },
      button('startTest', 'Start'), button('nextTest', 'Next'), button('reTest', 'Test again'),
      button('disableColsAndRows', 'Disable broken lines'), button('endTest', 'End'),
      button('stopTest', 'Stop'), button('failed', 'Give up'));
    this.element = this.available
      ? h('section', { className: 'tuning' }, this.stepList, this.prompt, this.progress, this.details, controls, this.error)
      : h('section', { className: 'tuning' }, h('p', { className: 'hint' }, 'This controller has no tuning wizard.'));
    this.unsubscribe = null;
    this.show({ currentTest: 'Unknown', currentTestStatus: 'Unknown' });
  }

  async attach() {
    if (!this.available) return;
    this.unsubscribe = this.connection.subscribe('tune_vasta', this.device, (value) => this.showValue(value));
    this.showValue(await this.connection.read(this.device, 'tune_vasta'));
  }

  detach() {
    if (this.unsubscribe) this.unsubscribe();
    this.unsubscribe = null;
  }

  async send(action) {
    this.error.textContent = '';
    const answer = await this.connection.write(this.device, 'tune_vasta', { action });
    if (answer.error) this.error.textContent = answer.error;
    this.showValue(answer.value);
  }

  showValue(value) {
    if (value && value.state) this.show(value.state);
  }

  show(state) {
    const test = state.currentTest;
    const running = typeof state.running === 'boolean' ? state.running : steps.includes(test) && test !== 'End';
    clear(this.stepList);
    const at = steps.indexOf(test);
    steps.forEach((step, index) => {
      const className = index < at || test === 'End' ? 'done' : index === at ? `current status-${String(state.currentTestStatus).toLowerCase()}` : '';
      this.stepList.append(h('li', { className, dataset: { step } }, stepTitles[step]));
    });
    this.element.dataset.test = test;
    this.element.dataset.status = state.currentTestStatus;
    this.prompt.textContent = prompt(state);
    const data = state.currentTestData || {};
    const progress = data.touchNoiseProgress;
    this.progress.hidden = typeof progress !== 'number';
    if (typeof progress === 'number') this.progress.value = Math.max(0, Math.min(100, progress));
    clear(this.details);
    if (data.cosensor !== undefined) this.details.append(h('p', {}, `Co-sensor: ${data.cosensor}`));
    if (data.cols || data.rows) {
      this.details.append(h('p', {}, `Broken columns: ${(data.cols || []).join(', ') || 'none'}; rows: ${(data.rows || []).join(', ') || 'none'}`));
    }
    if (data.touchProcess) this.details.append(h('p', {}, `Touch stage: ${data.touchProcess}, ${data.touchState || ''}`));
    if (Array.isArray(state.notRestored) && state.notRestored.length)
      this.details.append(h('p', { className: 'error' }, `Not written back: ${state.notRestored.join(', ')}`));
    if (state.error) this.error.textContent = state.error;
    const waitingForChoice = state.currentTestStatus === 'Error';
    this.buttons.startTest.disabled = running;
    this.buttons.nextTest.disabled = !running;
    this.buttons.reTest.disabled = !running;
    this.buttons.disableColsAndRows.disabled = !(waitingForChoice && test === 'ColsRows');
    this.buttons.endTest.disabled = !running;
    this.buttons.stopTest.disabled = !running;
    this.buttons.failed.disabled = !running;
  }
}
